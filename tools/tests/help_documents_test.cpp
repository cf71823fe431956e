// The help menu's three documents are built into the Help folder that the
// program finds beside itself, as PDFs whose Japanese text can be read back.
#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include "app/small_dialogs.h"
#include "platform/folders.h"

TEST(HelpDocuments, EachMenuDocumentIsAReadablePdfWhereTheProgramLooks) {
    struct Case {
        QString file;
        QString title;   // the document's first heading
    };
    const Case cases[] = {
        {vel::HelpManualPdf, QStringLiteral("ヴェルマリスIV ヘルプ")},
        {vel::HelpVideoLinkPdf, QStringLiteral("映像リンク機能 ヘルプ")},
        {vel::HelpDriftPdf, QStringLiteral("ドリフトアングル表示機能 ヘルプ")},
    };
    const QString helpDir = vel::FindDataRoot(QStringLiteral(VELMARIS_PROGRAM_DIR "/")) + "Help/";
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    ASSERT_FALSE(pdftotext.isEmpty()) << "poppler-utils comes with scripts/setup.sh";
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.file));
        QFile f(helpDir + c.file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(f.fileName());
        const QByteArray bytes = f.readAll();
        EXPECT_GT(bytes.size(), 4096);
        EXPECT_TRUE(bytes.startsWith("%PDF-"));
        EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));

        QProcess p;
        p.start(pdftotext, {f.fileName(), "-"});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0);
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_TRUE(text.contains(c.title)) << qPrintable(text.left(200));
    }
}
