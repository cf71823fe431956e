#include <gtest/gtest.h>
#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QEventLoop>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include "app/app_services.h"
#include "app/main_window.h"
#include "app/small_dialogs.h"
#include "support/fake_prompts.h"
#include "support/fake_shell.h"
#include "support/recording_services.h"
#include "support/stub_opener.h"
#include "support/test_folders.h"

using namespace vel;

TEST(NameDialog, RefusesEmptyAndForbiddenNamesSelectingTheFirstBadCharacter) {
    struct Case { QString text; bool closes; QString selected; };
    const Case cases[] = {
        {"lap 1", true, ""},
        {"", false, ""},
        {"a:b", false, ":"},
        {"a/b?c", false, "/"},
        {"x\"y", false, "\""},
        {"back\\slash", false, "\\"},
        {"p|*<>", false, "|"},
        {"日本語のラップ", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        TOKBottomDlgEdiStr dlg;
        dlg.EditStr->setText(c.text);
        dlg.show();
        dlg.accept();
        EXPECT_EQ(!dlg.isVisible(), c.closes);
        EXPECT_EQ(dlg.EditStr->selectedText(), c.selected);
        dlg.reject();   // cancel always closes
        EXPECT_FALSE(dlg.isVisible());
    }
}

TEST(AboutBox, ShowsProductAndVersion) {
    TOKBottomDlgVer dlg;
    EXPECT_EQ(dlg.windowTitle(), "バージョン情報");
    EXPECT_EQ(dlg.findChild<QLabel*>("ProductName")->text(), "Velmaris");
    EXPECT_EQ(dlg.findChild<QLabel*>("Version")->text(), "Ver 4.8.3");
}

namespace {

QStringList Row(std::initializer_list<QString> cells) {
    QStringList r(cells);
    while (r.size() < 20) r << QString();
    return r;
}

} // namespace

TEST(DriftTableCopy, CellsAreSplitAndMarked) {
    const QString tail = QString(17, '\t') + "\r\n";   // columns 3..19 empty
    struct Case { const char* name; QVector<QStringList> rows; QString text; };
    const Case cases[] = {
        {"header only",
         {Row({"-S1最大角+/-", "-S1平均角/偏差", "-S1スコア(合計)"}), Row({})},
         "'-S1最大角+\t'-最大角\t'-S1平均角\t偏差\t'-S1スコア\t合計" + tail},
        {"data rows without marks, empty first cells left out",
         {Row({"a/-", "b(c)d", "-x"}), Row({"12.3 / 4.5", "-2(3)", "-7"}), Row({"", "skipped"}),
          Row({"9", "8", "7"})},
         "a\t'-最大角\tb\tc\t'-x" + tail + "12.3 \t 4.5\t-2\t3\t-7" + tail + "9\t8\t7" + tail},
        {"no rows at all", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DriftTableClipboardText(c.rows), c.text);
    }
}

TEST(MainWindowFrame, DriftCopyHelpAndMenus) {
    QTemporaryDir tmp;
    Session session;
    session.folders = test::FoldersUnder(tmp.path());
    test::RecordingServices rec;
    test::FakePrompts prompts;
    AppServices app(session, rec.overrides());
    TFormMain w(session, app, &prompts);

    w.dataTab().StringGridDrift->setColumnCount(20);
    w.dataTab().StringGridDrift->setRowCount(2);
    w.dataTab().StringGridDrift->setItem(0, 0, new QTableWidgetItem("-S1スコア(合計)"));
    w.dataTab().StringGridDrift->setItem(1, 0, new QTableWidgetItem("0001"));
    w.dataTab().A1->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "'-S1スコア\t合計" + QString(19, '\t') + "\r\n" + "0001" + QString(19, '\t') + "\r\n");

    // A missing help document opens nothing and says nothing.
    test::FakeShell desktop;
    w.SetShell(desktop);
    EXPECT_FALSE(w.OpenHelpDocument(HelpDriftPdf));
    w.driftAngleInfoFunc1->trigger();
    EXPECT_TRUE(prompts.calls.empty());
    EXPECT_TRUE(desktop.opened.isEmpty());
    // One the desktop cannot open (no xdg-open) is named in a message, and
    // so is the web page.
    QDir().mkpath(session.folders.HelpDir);
    test::WriteFile(session.folders.HelpDir + HelpDriftPdf, "%PDF-1.4");
    desktop.fails = true;
    w.driftAngleInfoFunc1->trigger();
    w.Website1->trigger();
    ASSERT_EQ(desktop.opened.size(), 2);
    EXPECT_EQ(desktop.opened[0], session.folders.HelpDir + HelpDriftPdf);
    EXPECT_EQ(prompts.texts("error"), QStringList({"ファイルを開けませんでした。\r" + desktop.opened[0],
                                                   "ファイルを開けませんでした。\r" + desktop.opened[1]}));
    desktop.fails = false;
    w.driftAngleInfoFunc1->trigger();
    EXPECT_EQ(prompts.count("error"), 2);
    EXPECT_EQ(w.dataTab().PageControl3->tabText(0), "セクタ詳細");
    EXPECT_EQ(w.dataTab().PageControl3->tabText(1), "ドリフト詳細");
}

namespace {

// The desktop's own opener, telling the test each answer it gave.
class WatchedShell : public Shell {
public:
    QList<bool> answers;
    void OpenWithApplication(const QString& path, OpenDone done) override {
        real_.OpenWithApplication(path, [this, done](bool opened) {
            if (done) done(opened);
            answers << opened;
        });
    }
    void ShowInFolder(const QString& path, OpenDone done) override { real_.ShowInFolder(path, std::move(done)); }

private:
    SystemShell real_;
};

} // namespace

TEST(MainWindowFrame, HelpDocumentTheOpenerFailsOnIsNamedInAMessage) {
    QTemporaryDir tmp;
    Session session;
    session.folders = test::FoldersUnder(tmp.path());
    test::RecordingServices rec;
    test::FakePrompts prompts;
    AppServices app(session, rec.overrides());
    TFormMain w(session, app, &prompts);
    WatchedShell desktop;
    w.SetShell(desktop);
    const QString doc = session.folders.HelpDir + HelpManualPdf;
    test::WriteFile(doc, "%PDF-1.4");
    // xdg-open's 3: no application for PDF files; 4: it failed; 0: opened.
    for (const int status : {3, 4, 0}) {
        SCOPED_TRACE(status);
        test::StubOpener opener(status);
        prompts.calls.clear();
        desktop.answers.clear();
        w.VelmarisInstructionManual1->trigger();
        while (desktop.answers.isEmpty()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        EXPECT_EQ(opener.arguments().size(), 1);
        EXPECT_EQ(prompts.texts("error"),
                  status == 0 ? QStringList() : QStringList{"ファイルを開けませんでした。\r" + doc});
    }
}
