<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Alerts</name>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Continue</source>
        <translation>Fortfahren</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation>Im Dateimanager zeigen</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Veltrane cleaned up after a batch that was stopped:</source>
        <translation>Veltrane hat aufgeräumt, was ein abgebrochener Stapel hinterlassen hat:</translation>
    </message>
    <message>
        <source>Stop compressing and quit?</source>
        <translation>Komprimieren abbrechen und beenden?</translation>
    </message>
    <message>
        <source>Create folded named:</source>
        <translation>Ordner anlegen mit dem Namen:</translation>
    </message>
    <message>
        <source>Compressed Files</source>
        <translation>Komprimierte Dateien</translation>
    </message>
    <message>
        <source>Compressing Videos...</source>
        <translation>Videos werden komprimiert…</translation>
    </message>
    <message>
        <source>Veltrane can&apos;t put the compressed files in place:</source>
        <translation>Veltrane kann die komprimierten Dateien nicht an ihren Ort verschieben:</translation>
    </message>
    <message>
        <source>Analyzing Videos...</source>
        <translation>Videos werden analysiert…</translation>
    </message>
    <message>
        <source>Comments/Questions?</source>
        <translation>Anmerkungen/Fragen?</translation>
    </message>
</context>
<context>
    <name>BatchNotification</name>
    <message>
        <source>1 file</source>
        <translation>1 Datei</translation>
    </message>
    <message numerus="yes">
        <source>%n files</source>
        <translation>
            <numerusform>%n Datei</numerusform>
            <numerusform>%n Dateien</numerusform>
        </translation>
    </message>
    <message>
        <source> compressed</source>
        <translation> komprimiert</translation>
    </message>
    <message>
        <source>, %1 failed</source>
        <translation>, %1 fehlgeschlagen</translation>
    </message>
    <message>
        <source>, 1 over its target</source>
        <translation>, 1 über der Zielgröße</translation>
    </message>
    <message numerus="yes">
        <source>, %n over their targets</source>
        <translation>
            <numerusform>, %n über der Zielgröße</numerusform>
            <numerusform>, %n über der Zielgröße</numerusform>
        </translation>
    </message>
    <message>
        <source>Show</source>
        <translation>Zeigen</translation>
    </message>
</context>
<context>
    <name>Completion</name>
    <message>
        <source>%1 for a target of %2: %3 (%4 over)%5</source>
        <translation>%1 bei einem Ziel von %2: %3 (%4 darüber)%5</translation>
    </message>
    <message>
        <source>the smallest this encoder could make</source>
        <translation>das Kleinste, was dieser Encoder erzeugen konnte</translation>
    </message>
    <message>
        <source>kept as </source>
        <translation>behalten als </translation>
    </message>
    <message>
        <source>Compressed, but over the target size: </source>
        <translation>Komprimiert, aber über der Zielgröße: </translation>
    </message>
    <message>
        <source>File(s) compressed sucessfully:
</source>
        <translation>Datei(en) erfolgreich komprimiert:
</translation>
    </message>
    <message>
        <source>Questions?: </source>
        <translation>Fragen?: </translation>
    </message>
    <message>
        <source>Veltrane not able to compress these file(s):</source>
        <translation>Veltrane konnte diese Datei(en) nicht komprimieren:</translation>
    </message>
    <message>
        <source>Veltrane can&apos;t create the folder:</source>
        <translation>Veltrane kann den Ordner nicht anlegen:</translation>
    </message>
    <message>
        <source>Veltrane can&apos;t compress:</source>
        <translation>Veltrane kann nicht komprimieren:</translation>
    </message>
    <message>
        <source>Veltrane can only replace a folder, not a file:</source>
        <translation>Veltrane kann nur einen Ordner ersetzen, keine Datei:</translation>
    </message>
    <message>
        <source>Veltrane can&apos;t replace this folder:</source>
        <translation>Veltrane kann diesen Ordner nicht ersetzen:</translation>
    </message>
    <message>
        <source>No file manager could be opened. The compressed files are in:</source>
        <translation>Es konnte kein Dateimanager geöffnet werden. Die komprimierten Dateien liegen in:</translation>
    </message>
</context>
<context>
    <name>FailureReason</name>
    <message>
        <source>the disk is full</source>
        <translation>der Datenträger ist voll</translation>
    </message>
    <message>
        <source>the disk quota is used up</source>
        <translation>das Speicherkontingent ist aufgebraucht</translation>
    </message>
    <message>
        <source>the output folder is on a disk that cannot be written</source>
        <translation>der Ausgabeordner liegt auf einem Datenträger, der nicht beschrieben werden kann</translation>
    </message>
    <message>
        <source>the output folder may not be written to (permission denied)</source>
        <translation>in den Ausgabeordner darf nicht geschrieben werden (Zugriff verweigert)</translation>
    </message>
    <message>
        <source>this ffmpeg has no encoder for the format</source>
        <translation>dieses ffmpeg hat keinen Encoder für das Format</translation>
    </message>
    <message>
        <source>the encoder refused the settings</source>
        <translation>der Encoder hat die Einstellungen abgelehnt</translation>
    </message>
    <message>
        <source>there was not enough memory</source>
        <translation>es war nicht genug Arbeitsspeicher frei</translation>
    </message>
    <message>
        <source>the file could not be read; it may be damaged</source>
        <translation>die Datei konnte nicht gelesen werden; sie ist möglicherweise beschädigt</translation>
    </message>
    <message>
        <source>the disk reported an error reading or writing</source>
        <translation>der Datenträger meldete einen Lese- oder Schreibfehler</translation>
    </message>
    <message>
        <source>the file is no longer there</source>
        <translation>die Datei ist nicht mehr vorhanden</translation>
    </message>
    <message>
        <source>the file can no longer be read (permission denied)</source>
        <translation>die Datei kann nicht mehr gelesen werden (Zugriff verweigert)</translation>
    </message>
</context>
<context>
    <name>FileListModel</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation>Auflösung</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Tracks</source>
        <translation>Spuren</translation>
    </message>
    <message>
        <source>Becomes</source>
        <translation>Wird zu</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>HDR</source>
        <translation>HDR</translation>
    </message>
    <message>
        <source>interlaced</source>
        <translation>Zeilensprung</translation>
    </message>
    <message>
        <source>subtitles</source>
        <translation>Untertitel</translation>
    </message>
    <message>
        <source>subtitles (%1)</source>
        <translation>Untertitel (%1)</translation>
    </message>
    <message>
        <source>cover picture</source>
        <translation>Titelbild</translation>
    </message>
    <message>
        <source>size chosen when compressing</source>
        <translation>Größe wird beim Komprimieren gewählt</translation>
    </message>
    <message>
        <source>%1 bits per pixel per frame</source>
        <translation>%1 Bit pro Pixel und Bild</translation>
    </message>
    <message>
        <source>%1 (full size) to %2 (half size) bits per pixel per frame</source>
        <translation>%1 (volle Größe) bis %2 (halbe Größe) Bit pro Pixel und Bild</translation>
    </message>
    <message>
        <source>a larger target</source>
        <translation>ein größeres Ziel</translation>
    </message>
    <message>
        <source>a lower resolution</source>
        <translation>eine geringere Auflösung</translation>
    </message>
    <message>
        <source>a newer format (H.265 or AV1)</source>
        <translation>ein neueres Format (H.265 oder AV1)</translation>
    </message>
    <message>
        <source>a newer format (AV1)</source>
        <translation>ein neueres Format (AV1)</translation>
    </message>
    <message>
        <source>Too few bits for a watchable picture: %1%2, where %3 needs about %4.
What helps: %5.</source>
        <translation>Zu wenige Bits für ein ansehbares Bild: %1%2, wobei %3 etwa %4 braucht.
Was hilft: %5.</translation>
    </message>
    <message>
        <source> even at half its size</source>
        <translation> selbst bei halber Größe</translation>
    </message>
    <message>
        <source>Waiting</source>
        <translation>Wartet</translation>
    </message>
    <message>
        <source>Starting</source>
        <translation>Startet</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>pass %1 of 2</source>
        <translation>Durchgang %1 von 2</translation>
    </message>
    <message>
        <source>attempt %1</source>
        <translation>Versuch %1</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>%1 · %2 over the target</source>
        <translation>%1 · %2 über dem Ziel</translation>
    </message>
    <message>
        <source>%1 for a target of %2, in two passes</source>
        <translation>%1 bei einem Ziel von %2, in zwei Durchgängen</translation>
    </message>
    <message>
        <source>%1 for a target of %2</source>
        <translation>%1 bei einem Ziel von %2</translation>
    </message>
    <message>
        <source>%1 % of the original&apos;s %2</source>
        <translation>%1 % der %2 des Originals</translation>
    </message>
    <message>
        <source>%1 · %2 % of the target</source>
        <translation>%1 · %2 % des Ziels</translation>
    </message>
    <message>
        <source>Already under the target of %1: its streams go into the .mp4 as they are.</source>
        <translation>Schon unter dem Ziel von %1: ihre Spuren kommen unverändert in die .mp4.</translation>
    </message>
    <message>
        <source>Already under the target of %1, but its streams cannot go into an .mp4 as they are, or its picture is to change: it is encoded at its own size.</source>
        <translation>Schon unter dem Ziel von %1, aber ihre Spuren passen nicht unverändert in eine .mp4, oder ihr Bild soll sich ändern: sie wird in ihrer eigenen Größe kodiert.</translation>
    </message>
    <message>
        <source>Already under its target of %1: its streams were copied into the .mp4 as they were.</source>
        <translation>Schon unter ihrem Ziel von %1: ihre Spuren wurden unverändert in die .mp4 kopiert.</translation>
    </message>
    <message>
        <source>%1 · already fit, copied as it was</source>
        <translation>%1 · passte schon, unverändert kopiert</translation>
    </message>
</context>
<context>
    <name>FileProbe</name>
    <message>
        <source>Unknown File Size</source>
        <translation>Unbekannte Dateigröße</translation>
    </message>
    <message>
        <source>the probe tool (sniffer) could not be started</source>
        <translation>das Analysewerkzeug (sniffer) konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>the probe tool did not answer within %1</source>
        <translation>das Analysewerkzeug hat nicht innerhalb von %1 geantwortet</translation>
    </message>
    <message>
        <source>the probe tool gave no readable report</source>
        <translation>das Analysewerkzeug lieferte keinen lesbaren Bericht</translation>
    </message>
</context>
<context>
    <name>Intake</name>
    <message>
        <source>no such file</source>
        <translation>die Datei existiert nicht</translation>
    </message>
    <message>
        <source>permission denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>the link leads to no file</source>
        <translation>der Link führt zu keiner Datei</translation>
    </message>
    <message>
        <source>the folder holds no files (hidden ones are left out)</source>
        <translation>der Ordner enthält keine Dateien (versteckte werden ausgelassen)</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>the name is not valid UTF-8</source>
        <translation>der Name ist kein gültiges UTF-8</translation>
    </message>
    <message>
        <source>VOB files are not supported</source>
        <translation>VOB-Dateien werden nicht unterstützt</translation>
    </message>
    <message>
        <source>the file could not be opened or read as media</source>
        <translation>die Datei konnte nicht als Medium geöffnet oder gelesen werden</translation>
    </message>
    <message>
        <source>files named .txt are not taken as video</source>
        <translation>Dateien mit der Endung .txt werden nicht als Video angenommen</translation>
    </message>
    <message>
        <source>not a media file</source>
        <translation>keine Mediendatei</translation>
    </message>
    <message>
        <source>its video is encrypted</source>
        <translation>ihr Video ist verschlüsselt</translation>
    </message>
    <message>
        <source>it has no video track</source>
        <translation>sie hat keine Videospur</translation>
    </message>
    <message>
        <source>it is a still picture, not a video</source>
        <translation>sie ist ein Standbild, kein Video</translation>
    </message>
    <message>
        <source>its video has no width</source>
        <translation>ihr Video hat keine Breite</translation>
    </message>
    <message>
        <source>its video has no height</source>
        <translation>ihr Video hat keine Höhe</translation>
    </message>
    <message>
        <source>its duration is unknown or zero</source>
        <translation>ihre Dauer ist unbekannt oder null</translation>
    </message>
    <message>
        <source>Veltrane not able to open these file(s):</source>
        <translation>Veltrane konnte diese Datei(en) nicht öffnen:</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Drop videos here</source>
        <translation>Videos hier ablegen</translation>
    </message>
    <message>
        <source>Drop video files here to add them to the list</source>
        <translation>Videodateien hier ablegen, um sie der Liste hinzuzufügen</translation>
    </message>
    <message>
        <source>Videos to compress</source>
        <translation>Zu komprimierende Videos</translation>
    </message>
    <message>
        <source>&amp;Target size of every file</source>
        <translation>&amp;Zielgröße jeder Datei</translation>
    </message>
    <message>
        <source>Target size</source>
        <translation>Zielgröße</translation>
    </message>
    <message>
        <source>Target size as a percentage of the smallest file in the list</source>
        <translation>Zielgröße in Prozent der kleinsten Datei in der Liste</translation>
    </message>
    <message>
        <source>Each compressed file aims at this size</source>
        <translation>Jede komprimierte Datei zielt auf diese Größe</translation>
    </message>
    <message>
        <source>Target size at 10 % of the smallest file</source>
        <translation>Zielgröße bei 10 % der kleinsten Datei</translation>
    </message>
    <message>
        <source>Target size at 55 % of the smallest file</source>
        <translation>Zielgröße bei 55 % der kleinsten Datei</translation>
    </message>
    <message>
        <source>Target size at 100 % of the smallest file</source>
        <translation>Zielgröße bei 100 % der kleinsten Datei</translation>
    </message>
    <message>
        <source>&amp;Resolution</source>
        <translation>&amp;Auflösung</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation>Auflösung</translation>
    </message>
    <message>
        <source>Output width and height as a percentage of each file&apos;s own</source>
        <translation>Breite und Höhe der Ausgabe in Prozent derjenigen jeder Datei</translation>
    </message>
    <message>
        <source>Output resolution as a percentage of each file&apos;s own</source>
        <translation>Ausgabeauflösung in Prozent derjenigen jeder Datei</translation>
    </message>
    <message>
        <source>&amp;Automatic</source>
        <translation>Automa&amp;tisch</translation>
    </message>
    <message>
        <source>Automatic resolution</source>
        <translation>Automatische Auflösung</translation>
    </message>
    <message>
        <source>For each file, the size and frame rate that give the best picture for its target, chosen from short samples of its content; the sound gives its bits to the picture when the target is small</source>
        <translation>Für jede Datei die Bildgröße und Bildrate, die für ihr Ziel das beste Bild ergeben, gewählt anhand kurzer Proben ihres Inhalts; bei kleinem Ziel gibt der Ton seine Bits an das Bild ab</translation>
    </message>
    <message>
        <source>For&amp;mat</source>
        <translation>&amp;Format</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Compress…</source>
        <translation>Komprimieren…</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>&amp;Open…</source>
        <translation>Ö&amp;ffnen…</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Add video files to the list</source>
        <translation>Videodateien zur Liste hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Save…</source>
        <translation>&amp;Speichern…</translation>
    </message>
    <message>
        <source>Compress every file in the list into a new folder</source>
        <translation>Jede Datei der Liste in einen neuen Ordner komprimieren</translation>
    </message>
    <message>
        <source>Compress</source>
        <translation>Komprimieren</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Remove the selected files from the list</source>
        <translation>Die ausgewählten Dateien aus der Liste entfernen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>H.264</source>
        <translation>H.264</translation>
    </message>
    <message>
        <source>Plays everywhere.</source>
        <translation>Läuft überall.</translation>
    </message>
    <message>
        <source>H.265</source>
        <translation>H.265</translation>
    </message>
    <message>
        <source>A better picture for the size. Plays on recent phones, in most browsers, and on Windows with its HEVC extension.</source>
        <translation>Ein besseres Bild für die Größe. Läuft auf neueren Smartphones, in den meisten Browsern und unter Windows mit dessen HEVC-Erweiterung.</translation>
    </message>
    <message>
        <source>AV1</source>
        <translation>AV1</translation>
    </message>
    <message>
        <source>Better still. Plays in recent browsers and on recent phones, not on older Apple devices.</source>
        <translation>Noch besser. Läuft in neueren Browsern und auf neueren Smartphones, nicht auf älteren Apple-Geräten.</translation>
    </message>
    <message>
        <source>&lt;img src=&quot;:/images/veltrane&quot; width=&quot;96&quot; height=&quot;96&quot;&gt;&lt;p&gt;&lt;b&gt;Drop videos here&lt;/b&gt;&lt;/p&gt;&lt;p&gt;or use Open to add them&lt;/p&gt;</source>
        <translation>&lt;img src=&quot;:/images/veltrane&quot; width=&quot;96&quot; height=&quot;96&quot;&gt;&lt;p&gt;&lt;b&gt;Videos hier ablegen&lt;/b&gt;&lt;/p&gt;&lt;p&gt;oder mit „Öffnen“ hinzufügen&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Fit &amp;under:</source>
        <translation>Passend &amp;unter:</translation>
    </message>
    <message>
        <source>Fit under</source>
        <translation>Passend unter</translation>
    </message>
    <message>
        <source>Every file fits under this size: an upload limit, or a size typed with its unit (KB, MB, GB, KiB, MiB, GiB; a plain number is MB). Moving the slider goes back to its share of the smallest file.</source>
        <translation>Jede Datei passt unter diese Größe: eine Upload-Grenze oder eine eingetippte Größe mit Einheit (KB, MB, GB, KiB, MiB, GiB; eine bloße Zahl gilt als MB). Wer den Schieberegler bewegt, kehrt zu dessen Anteil an der kleinsten Datei zurück.</translation>
    </message>
    <message>
        <source>as the slider says</source>
        <translation>wie der Schieberegler sagt</translation>
    </message>
    <message>
        <source>“%1” is not a size: type one such as 10 MiB, 25 MB or 700 KB.</source>
        <translation>„%1“ ist keine Größe: geben Sie etwa 10 MiB, 25 MB oder 700 KB ein.</translation>
    </message>
    <message>
        <source>Every file fits under %1 bytes; none already under it is made larger.</source>
        <translation>Jede Datei passt unter %1 Byte; keine, die schon darunter liegt, wird größer.</translation>
    </message>
</context>
<context>
    <name>OutputFolder</name>
    <message>
        <source>%1 holds %2; it cannot be the output folder</source>
        <translation>%1 enthält %2; er kann nicht der Ausgabeordner sein</translation>
    </message>
    <message>
        <source>%1 already exists</source>
        <translation>%1 existiert bereits</translation>
    </message>
    <message>
        <source>%1 is a file, not a folder; only a folder is ever replaced</source>
        <translation>%1 ist eine Datei, kein Ordner; ersetzt wird immer nur ein Ordner</translation>
    </message>
    <message>
        <source>%1 cannot be replaced: %2</source>
        <translation>%1 kann nicht ersetzt werden: %2</translation>
    </message>
    <message>
        <source>another Veltrane run is writing %1</source>
        <translation>ein anderer Veltrane-Lauf schreibt %1</translation>
    </message>
    <message>
        <source>could not create %1: %2</source>
        <translation>%1 konnte nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>it is the root of the file system</source>
        <translation>er ist die Wurzel des Dateisystems</translation>
    </message>
    <message>
        <source>it is your home folder</source>
        <translation>er ist Ihr persönlicher Ordner</translation>
    </message>
    <message>
        <source>it holds your home folder</source>
        <translation>er enthält Ihren persönlichen Ordner</translation>
    </message>
    <message>
        <source>it is the current folder</source>
        <translation>er ist der aktuelle Ordner</translation>
    </message>
    <message>
        <source>it holds the current folder</source>
        <translation>er enthält den aktuellen Ordner</translation>
    </message>
    <message>
        <source>a file system is mounted on it</source>
        <translation>auf ihm ist ein Dateisystem eingehängt</translation>
    </message>
    <message>
        <source>another file system is mounted inside it, at %1</source>
        <translation>in ihm ist ein weiteres Dateisystem eingehängt, unter %1</translation>
    </message>
    <message>
        <source>%1 is in the way; an earlier run may have left it: delete it if no Veltrane is running</source>
        <translation>%1 ist im Weg; ein früherer Lauf hat es vielleicht hinterlassen: löschen Sie es, wenn kein Veltrane läuft</translation>
    </message>
    <message>
        <source>the compressed files could not be put in place (%1); they are in %2</source>
        <translation>die komprimierten Dateien konnten nicht an ihren Ort verschoben werden (%1); sie liegen in %2</translation>
    </message>
    <message>
        <source>what the replaced folder held on another file system is left at %1</source>
        <translation>was der ersetzte Ordner auf einem anderen Dateisystem enthielt, liegt noch unter %1</translation>
    </message>
    <message>
        <source>A batch writing %1 was stopped before it finished; its unfinished files were removed.</source>
        <translation>Ein Stapel, der %1 schrieb, wurde vor seinem Ende abgebrochen; seine unfertigen Dateien wurden entfernt.</translation>
    </message>
    <message>
        <source>%1 was put back as it was before a stopped batch replaced it.</source>
        <translation>%1 wurde so wiederhergestellt, wie es war, bevor ein abgebrochener Stapel es ersetzte.</translation>
    </message>
    <message>
        <source>A stopped batch left the folder it replaced at %1; it was not deleted.</source>
        <translation>Ein abgebrochener Stapel hat den Ordner, den er ersetzte, unter %1 hinterlassen; er wurde nicht gelöscht.</translation>
    </message>
    <message>
        <source>Veltrane can&apos;t replace a folder that holds files from the list:</source>
        <translation>Veltrane kann keinen Ordner ersetzen, der Dateien aus der Liste enthält:</translation>
    </message>
</context>
<context>
    <name>PrivateFolder</name>
    <message>
        <source>Veltrane can&apos;t make its working folder in %1: %2</source>
        <translation>Veltrane kann seinen Arbeitsordner in %1 nicht anlegen: %2</translation>
    </message>
</context>
<context>
    <name>ProgressSheet</name>
    <message>
        <source>Analyzing Videos...</source>
        <translation>Videos werden analysiert…</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Now compressing</source>
        <translation>Wird gerade komprimiert</translation>
    </message>
    <message>
        <source>Which file, of how many, and which pass</source>
        <translation>Welche Datei, von wie vielen, und welcher Durchgang</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>File %1 of %2</source>
        <translation>Datei %1 von %2</translation>
    </message>
    <message>
        <source>pass %1 of 2</source>
        <translation>Durchgang %1 von 2</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
</context>
<context>
    <name>RowActions</name>
    <message>
        <source>Veltrane can&apos;t open the file:</source>
        <translation>Veltrane kann die Datei nicht öffnen:</translation>
    </message>
    <message>
        <source>No file manager could be opened. The file is in:</source>
        <translation>Es konnte kein Dateimanager geöffnet werden. Die Datei liegt in:</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>Show in &amp;folder</source>
        <translation>Im &amp;Ordner zeigen</translation>
    </message>
</context>
<context>
    <name>RowPlan</name>
    <message>
        <source>%1 fps</source>
        <translation>%1 fps</translation>
    </message>
    <message>
        <source>%1 Mb/s</source>
        <translation>%1 Mbit/s</translation>
    </message>
    <message>
        <source>%1 kb/s</source>
        <translation>%1 kbit/s</translation>
    </message>
    <message>
        <source>already fits: copied as it is</source>
        <translation>passt schon: unverändert kopiert</translation>
    </message>
    <message>
        <source>already fits: encoded at its own size</source>
        <translation>passt schon: in eigener Größe kodiert</translation>
    </message>
</context>
<context>
    <name>RowResult</name>
    <message>
        <source>compressed</source>
        <translation>komprimiert</translation>
    </message>
    <message>
        <source>the transcoder could not be started</source>
        <translation>der Transcoder konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>the transcoder crashed</source>
        <translation>der Transcoder ist abgestürzt</translation>
    </message>
    <message>
        <source>the transcoder reported an error</source>
        <translation>der Transcoder meldete einen Fehler</translation>
    </message>
    <message>
        <source>the transcoder wrote no output file</source>
        <translation>der Transcoder schrieb keine Ausgabedatei</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>abgebrochen</translation>
    </message>
    <message>
        <source>the output is not a playable video</source>
        <translation>die Ausgabe ist kein abspielbares Video</translation>
    </message>
    <message>
        <source>the output is over its target size</source>
        <translation>die Ausgabe ist größer als ihre Zielgröße</translation>
    </message>
    <message>
        <source>the transcoder stopped making progress</source>
        <translation>der Transcoder kam nicht mehr voran</translation>
    </message>
    <message>
        <source>the picture is too small for this format (AV1 needs 64 pixels on each side, H.265 on one); H.264 takes it</source>
        <translation>das Bild ist für dieses Format zu klein (AV1 braucht 64 Pixel auf jeder Seite, H.265 auf einer); H.264 nimmt es</translation>
    </message>
</context>
<context>
    <name>SavePanel</name>
    <message>
        <source>Veltrane can&apos;t replace this folder:</source>
        <translation>Veltrane kann diesen Ordner nicht ersetzen:</translation>
    </message>
    <message>
        <source>A folder named “%1” already exists. Do you want to replace it?</source>
        <translation>Ein Ordner namens „%1“ existiert bereits. Möchten Sie ihn ersetzen?</translation>
    </message>
    <message>
        <source>What it holds is deleted once the compressed files are written.</source>
        <translation>Sein Inhalt wird gelöscht, sobald die komprimierten Dateien geschrieben sind.</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Ersetzen</translation>
    </message>
</context>
<context>
    <name>TextFormat</name>
    <message>
        <source>1 byte</source>
        <translation>1 Byte</translation>
    </message>
    <message numerus="yes">
        <source>%n bytes</source>
        <translation>
            <numerusform>%n Byte</numerusform>
            <numerusform>%n Byte</numerusform>
        </translation>
    </message>
    <message>
        <source>

Questions? : </source>
        <translation>

Fragen? : </translation>
    </message>
</context>
<context>
    <name>Tools</name>
    <message>
        <source>probe tool</source>
        <translation>das Analysewerkzeug</translation>
    </message>
    <message>
        <source>the %1 (%2) was not found in %3</source>
        <extracomment>%1 is a tool&apos;s role, &quot;transcoder&quot; or &quot;probe tool&quot;, translated with its article.</extracomment>
        <translation>%1 (%2) wurde in %3 nicht gefunden</translation>
    </message>
    <message>
        <source> or </source>
        <translation> oder </translation>
    </message>
    <message>
        <source>transcoder</source>
        <translation>der Transcoder</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Make video files smaller.</source>
        <translation>Macht Videodateien kleiner.</translation>
    </message>
    <message>
        <source>Videos to add to the list.</source>
        <translation>Videos, die der Liste hinzugefügt werden.</translation>
    </message>
</context>
</TS>
