<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>Alerts</name>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Continue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Veltrane cleaned up after a batch that was stopped:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop compressing and quit?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create folded named:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compressed Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compressing Videos...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Veltrane can&apos;t put the compressed files in place:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Analyzing Videos...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Comments/Questions?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>BatchNotification</name>
    <message>
        <source>1 file</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n files</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source> compressed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1 failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, 1 over its target</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>, %n over their targets</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Show</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>%1 for a target of %2: %3 (%4 over)%5</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the smallest this encoder could make</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>kept as </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compressed, but over the target size: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File(s) compressed sucessfully:
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Questions?: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Veltrane not able to compress these file(s):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Veltrane can&apos;t create the folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Veltrane can&apos;t compress:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Veltrane can only replace a folder, not a file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Veltrane can&apos;t replace this folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No file manager could be opened. The compressed files are in:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FailureReason</name>
    <message>
        <source>the disk is full</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the disk quota is used up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the output folder is on a disk that cannot be written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the output folder may not be written to (permission denied)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this ffmpeg has no encoder for the format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the encoder refused the settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there was not enough memory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file could not be read; it may be damaged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the disk reported an error reading or writing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file is no longer there</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file can no longer be read (permission denied)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileListModel</name>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tracks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Becomes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>HDR</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>interlaced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>subtitles</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>subtitles (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cover picture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>size chosen when compressing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 bits per pixel per frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (full size) to %2 (half size) bits per pixel per frame</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a larger target</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a lower resolution</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a newer format (H.265 or AV1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a newer format (AV1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Too few bits for a watchable picture: %1%2, where %3 needs about %4.
What helps: %5.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> even at half its size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Starting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>pass %1 of 2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>attempt %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 · %2 over the target</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 for a target of %2, in two passes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 for a target of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 % of the original&apos;s %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 · %2 % of the target</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Already under the target of %1: its streams go into the .mp4 as they are.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Already under the target of %1, but its streams cannot go into an .mp4 as they are, or its picture is to change: it is encoded at its own size.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Already under its target of %1: its streams were copied into the .mp4 as they were.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 · already fit, copied as it was</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FileProbe</name>
    <message>
        <source>Unknown File Size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the probe tool (sniffer) could not be started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the probe tool did not answer within %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the probe tool gave no readable report</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Intake</name>
    <message>
        <source>no such file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the link leads to no file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the folder holds no files (hidden ones are left out)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the name is not valid UTF-8</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>VOB files are not supported</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file could not be opened or read as media</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>files named .txt are not taken as video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not a media file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its video is encrypted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it has no video track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a still picture, not a video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its video has no width</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its video has no height</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its duration is unknown or zero</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Veltrane not able to open these file(s):</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Drop videos here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drop video files here to add them to the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Videos to compress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Target size of every file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Target size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Target size as a percentage of the smallest file in the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Each compressed file aims at this size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Target size at 10 % of the smallest file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Target size at 55 % of the smallest file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Target size at 100 % of the smallest file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Resolution</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Output width and height as a percentage of each file&apos;s own</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Output resolution as a percentage of each file&apos;s own</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Automatic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Automatic resolution</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>For each file, the size and frame rate that give the best picture for its target, chosen from short samples of its content; the sound gives its bits to the picture when the target is small</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>For&amp;mat</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compress…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add video files to the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compress every file in the list into a new folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Compress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove the selected files from the list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>H.264</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plays everywhere.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>H.265</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A better picture for the size. Plays on recent phones, in most browsers, and on Windows with its HEVC extension.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AV1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Better still. Plays in recent browsers and on recent phones, not on older Apple devices.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;img src=&quot;:/images/veltrane&quot; width=&quot;96&quot; height=&quot;96&quot;&gt;&lt;p&gt;&lt;b&gt;Drop videos here&lt;/b&gt;&lt;/p&gt;&lt;p&gt;or use Open to add them&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fit &amp;under:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fit under</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every file fits under this size: an upload limit, or a size typed with its unit (KB, MB, GB, KiB, MiB, GiB; a plain number is MB). Moving the slider goes back to its share of the smallest file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>as the slider says</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” is not a size: type one such as 10 MiB, 25 MB or 700 KB.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every file fits under %1 bytes; none already under it is made larger.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OutputFolder</name>
    <message>
        <source>%1 holds %2; it cannot be the output folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 already exists</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is a file, not a folder; only a folder is ever replaced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be replaced: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>another Veltrane run is writing %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>could not create %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is the root of the file system</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is your home folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it holds your home folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is the current folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it holds the current folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a file system is mounted on it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>another file system is mounted inside it, at %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is in the way; an earlier run may have left it: delete it if no Veltrane is running</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the compressed files could not be put in place (%1); they are in %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>what the replaced folder held on another file system is left at %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A batch writing %1 was stopped before it finished; its unfinished files were removed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 was put back as it was before a stopped batch replaced it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A stopped batch left the folder it replaced at %1; it was not deleted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Veltrane can&apos;t replace a folder that holds files from the list:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PrivateFolder</name>
    <message>
        <source>Veltrane can&apos;t make its working folder in %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProgressSheet</name>
    <message>
        <source>Analyzing Videos...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Now compressing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Which file, of how many, and which pass</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>pass %1 of 2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>&amp;Save</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RowActions</name>
    <message>
        <source>Veltrane can&apos;t open the file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No file manager could be opened. The file is in:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show in &amp;folder</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RowPlan</name>
    <message>
        <source>%1 fps</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Mb/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 kb/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>already fits: copied as it is</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>already fits: encoded at its own size</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RowResult</name>
    <message>
        <source>compressed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the transcoder could not be started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the transcoder crashed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the transcoder reported an error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the transcoder wrote no output file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the output is not a playable video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the output is over its target size</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the transcoder stopped making progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the picture is too small for this format (AV1 needs 64 pixels on each side, H.265 on one); H.264 takes it</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SavePanel</name>
    <message>
        <source>Veltrane can&apos;t replace this folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A folder named “%1” already exists. Do you want to replace it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What it holds is deleted once the compressed files are written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Replace</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TextFormat</name>
    <message>
        <source>1 byte</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n bytes</source>
        <translation type="unfinished">
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>

Questions? : </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Tools</name>
    <message>
        <source>probe tool</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the %1 (%2) was not found in %3</source>
        <extracomment>%1 is a tool&apos;s role, &quot;transcoder&quot; or &quot;probe tool&quot;, translated with its article.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> or </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>transcoder</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Make video files smaller.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Videos to add to the list.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
