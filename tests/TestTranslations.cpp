#include "WindowTestSupport.h"

#include "app/Completion.h"
#include "app/Translations.h"
#include "compress/FailureReason.h"
#include "util/TextFormat.h"

#include <QLibraryInfo>

#include <functional>

using namespace WindowTest;

namespace {

struct Case
{
    const char *name;
    std::function<QString()> shown;
    QString english; // also what the texts others quote must stay without a translation
    QString german;
    bool qtOwn = false; // Qt's translation, which the system may not have
};

const Case cases[] = {
    { "Compress button", [] { return launch()->window->findChild<QPushButton *>("compressButton")->text(); }, "Compress…",
      "Komprimieren…" },
    { "column header", [] { return FileListModel().headerData(FileListModel::resolutionColumn, Qt::Horizontal).toString(); },
      "Resolution", "Auflösung" },
    { "plan, from the core",
      [] { return RowPlan { .videoKbps = 1400, .frameRate = 30, .width = 1280, .height = 720, .sourceWidth = 1920, .sourceHeight = 1080 }.summaryText(); },
      "1920×1080 30 fps → 1280×720 30 fps · H.264 · 1.4 Mb/s", "1920×1080 30 fps → 1280×720 30 fps · H.264 · 1.4 Mbit/s" },
    { "outcome, from the core", [] { return FailureReason::plain({ RowOutcome::stalled }, QString()); },
      "the transcoder stopped making progress", "der Transcoder kam nicht mehr voran" },
    // An encoder's composed reason is no message: it passes as it is.
    { "composed reason",
      [] { return FailureReason::plain({ RowOutcome::overTarget, 0, "the transcoder crashed; its output was removed" }, {}); },
      "the transcoder crashed; its output was removed", "the transcoder crashed; its output was removed" },
    { "byte count, by number", [] { return TextFormat::byteCountText(5); }, "5 bytes", "5 Byte" },
    { "refusal alert and its reasons",
      [] {
          const auto delegate = launch();
          addFiles(*delegate, fileUrls({ "/nonexistent/clip.mp4" }));
          const QMessageBox *alert = visibleAlerts(*delegate).value(0);
          return alert ? alert->text() + '\n' + alert->detailedText() : QString();
      },
      "Veltrane not able to open these file(s):\nclip.mp4: no such file",
      "Veltrane konnte diese Datei(en) nicht öffnen:\nclip.mp4: die Datei existiert nicht" },
    { "completion alert",
      [] {
          RowPlan row;
          row.input = "/in/clip.mp4", row.output = "/out/clip.mp4";
          return Completion::completionAlert({ "/out", {}, { row } }, { { RowOutcome::succeeded } }).message;
      },
      "File(s) compressed sucessfully:\n/out", "Datei(en) erfolgreich komprimiert:\n/out" },
    { "Qt's own button", [] { return QDialogButtonBox(QDialogButtonBox::Cancel).button(QDialogButtonBox::Cancel)->text(); },
      "Cancel", "Abbrechen", true },
};

}

// The window in German, through the translations main() installs, and in the source language, where nothing is.
class TestTranslations : public QObject
{
    Q_OBJECT
    TestSupport::DiagnosticCapture m_quiet;

private slots:
    void texts_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("locale");
        for (int i = 0; i < int(std::size(cases)); ++i)
            for (const QString locale : { "en_US", "de_DE" })
                QTest::addRow("%s, %s", cases[i].name, qPrintable(locale)) << i << locale;
    }

    void texts()
    {
        QFETCH(int, index);
        QFETCH(QString, locale);
        const Case &text = cases[index];
        const bool german = locale == "de_DE";
        if (german && text.qtOwn && !QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm"))
            QSKIP("Qt's German translation is not installed (qt6-translations-l10n)");
        qDeleteAll(qApp->findChildren<QTranslator *>(Qt::FindDirectChildrenOnly));
        QLocale::setDefault(QLocale(locale));
        // There is no English translation: the texts are written in it.
        QCOMPARE(Translations::install(), german);
        QCOMPARE(text.shown(), german ? text.german : text.english);
    }
};

QTEST_MAIN(TestTranslations)
#include "TestTranslations.moc"
