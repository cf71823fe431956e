#include <csignal>
#include <gtest/gtest.h>
#include <QStyle>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include "app/app_services.h"
#include "app/entry.h"
#include "app/main_window.h"
#include "app/setup_dialog.h"
#include "support/fake_prompts.h"
#include "support/recording_services.h"
#include "support/test_env.h"
#include "support/test_folders.h"

using namespace vel;

namespace {

struct MainWindowTest : ::testing::Test {
    QTemporaryDir tmp;
    Session session;
    test::RecordingServices rec;
    test::FakePrompts prompts;
    void SetUp() override { session.folders = test::FoldersUnder(tmp.path()); }
};

} // namespace

TEST_F(MainWindowTest, LayoutAfterStartup) {
    AppServices app(session, rec.overrides());
    TFormMain w(session, app, &prompts);
    EXPECT_EQ(w.windowTitle(), "Velmaris");
    EXPECT_EQ(w.LabelVersion->text(), "Ver 4.8.3");
    ASSERT_EQ(w.PageControl1->count(), 3);
    EXPECT_EQ(w.PageControl1->tabText(0), "グラフ");
    EXPECT_EQ(w.PageControl1->tabText(1), "データ");
    EXPECT_EQ(w.PageControl1->tabText(2), "ロガー");
    QStringList inner;
    for (int i = 0; i < w.graphTab().PageControl2->count(); ++i) inner << w.graphTab().PageControl2->tabText(i);
    EXPECT_EQ(inner, QStringList({"コース", "G / 旋回半径", "ビデオ", "ドリフト"}));
    EXPECT_EQ(w.Exit1->text(), "終了(&X)");

    const QHeaderView* h = w.dataTab().StringGridLapData->horizontalHeader();
    ASSERT_EQ(w.dataTab().StringGridLapData->model()->columnCount(), 20);
    EXPECT_EQ(w.dataTab().StringGridLapData->model()->headerData(5, Qt::Horizontal).toString(), "最高速 km/h");
    EXPECT_EQ(w.dataTab().StringGridLapData->model()->headerData(13, Qt::Horizontal).toString(), "ドリフト(スコア)");
    const int widths[20] = {120, 80, 100, 80, 90, 114, 80, 216, 82, 82, 82, 82, 82, 88, 88, 88, 88, 88, 88, 40};
    // Each column its given width, wider only where its caption needs more.
    const QAbstractItemModel* m = w.dataTab().StringGridLapData->model();
    const int margin = h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
    for (int c = 0; c < 20; ++c) {
        const QVariant font = m->headerData(c, Qt::Horizontal, Qt::FontRole);
        const QFontMetrics fm(font.isValid() ? font.value<QFont>() : h->font());
        const int need = fm.horizontalAdvance(m->headerData(c, Qt::Horizontal).toString()) + 2 * margin;
        EXPECT_EQ(h->sectionSize(c), std::max(widths[c], need)) << c;
    }

    EXPECT_TRUE(w.loggerTab().ListBox1->isHidden());
    // Default settings: time difference and drift on, altitude off.
    EXPECT_TRUE(SwitchPanelOn(w.graphTab().PanelDiffTm));
    EXPECT_FALSE(SwitchPanelOn(w.graphTab().PanelAltitude));
    EXPECT_TRUE(SwitchPanelOn(w.graphTab().PanelDrift));
    EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(MainWindowTest, SwitchStatesComeFromSettingsAndGoBackAtShutdown) {
    test::WriteFile(session.folders.ShareDir + "velmaris.ini", "15.0\r\n0.2\r\n8.0\r\n0\r\n0\r\n0\r\n1\r\n4\r\n0\r\n");
    {
        AppServices app(session, rec.overrides());
        TFormMain w(session, app, &prompts);
        EXPECT_FALSE(SwitchPanelOn(w.graphTab().PanelDiffTm));
        EXPECT_TRUE(SwitchPanelOn(w.graphTab().PanelAltitude));
        EXPECT_FALSE(SwitchPanelOn(w.graphTab().PanelDrift));
        SetSwitchPanel(w.graphTab().PanelDrift, true);
    }
    EXPECT_EQ(test::ReadFile(session.folders.ShareDir + "velmaris.ini"),
              QByteArray("15.0\r\n0.200\r\n8.0\r\n0\r\n0\r\n0\r\n1\r\n4\r\n1\r\n"));
}

TEST_F(MainWindowTest, SettingsThatCannotBeWrittenAtShutdownAreShownAndTheRestRuns) {
    test::WriteFile(session.folders.TempDir + "temp0000.dtb", "x");
    {
        AppServices app(session, rec.overrides());
        TFormMain w(session, app, &prompts);
        QFile::remove(session.folders.ShareDir + "velmaris.ini");
        QDir().mkpath(session.folders.ShareDir + "velmaris.ini/x");
        rec.logger.portOpen = true;
        rec.log.calls.clear();
        EXPECT_TRUE(prompts.calls.empty());
    }
    ASSERT_EQ(prompts.count("error"), 1);
    EXPECT_TRUE(prompts.texts("error")[0].startsWith("設定ファイルを保存できません。"));
    EXPECT_EQ(rec.log.calls, QStringList({"FreeLists", "CloseComPort"}));
    EXPECT_FALSE(QFile::exists(session.folders.TempDir + "temp0000.dtb"));
}

// A second start brings the first window back however it was left.
TEST_F(MainWindowTest, RaiseBringsBackAMinimisedOrHiddenWindow) {
    AppServices app(session, rec.overrides());
    TFormMain w(session, app, &prompts);
    w.showMaximized();
    QApplication::processEvents();
    w.showMinimized();
    QApplication::processEvents();
    ASSERT_TRUE(w.isMinimized());
    w.RaiseWindow();
    QApplication::processEvents();
    EXPECT_FALSE(w.isMinimized());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isMaximized());   // as it was before

    w.hide();
    QApplication::processEvents();
    w.RaiseWindow();
    QApplication::processEvents();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
    EXPECT_TRUE(w.isMaximized());
}

TEST_F(MainWindowTest, ExitGoesThroughTheCloseQuery) {
    AppServices app(session, rec.overrides());
    TFormMain w(session, app, &prompts);
    w.show();
    rec.log.calls.clear();
    w.Exit1->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(rec.log.calls, QStringList({"Stop(wait)", "DetachHandlers"}));
}

TEST_F(MainWindowTest, StartupErrorsAreShown) {
    QDir().mkpath(session.folders.ShareDir + "velmrver.txt/x");
    AppServices app(session, rec.overrides());
    TFormMain w(session, app, &prompts);
    ASSERT_EQ(prompts.count("error"), 1);
    EXPECT_TRUE(prompts.texts("error")[0].contains("velmrver.txt"));
}

TEST_F(MainWindowTest, RendersWithJapaneseFont) {
    AppServices app(session, rec.overrides());
    TFormMain w(session, app, &prompts);
    w.resize(1280, 800);
    w.PageControl1->setCurrentIndex(1);
    // A font that has the tab captions' glyphs must be installed.
    const QFontMetrics fm(w.PageControl1->font());
    for (QChar ch : QString("データグラフロガー設定")) EXPECT_TRUE(fm.inFont(ch)) << int(ch.unicode());
    EXPECT_FALSE(QFontDatabase::families(QFontDatabase::Japanese).isEmpty());
    const QImage img = w.grab().toImage();
    ASSERT_FALSE(img.isNull());
    EXPECT_TRUE(img.save(test::OutputDir() + "/main_window.png"));
}

namespace {
constexpr char kTermChild[] = "VELMARIS_TERMINATION_CHILD";
} // namespace

// Runs as the program would, in a process of its own: the window, the signal
// wiring of main(), a SIGTERM raised from inside the event loop.
TEST(TerminationChild, Run) {
    const QString root = qEnvironmentVariable(kTermChild);
    if (root.isEmpty()) GTEST_SKIP() << "only runs as a child of another test";
    Session session;
    session.folders = test::FoldersUnder(root);
    test::RecordingServices rec;
    test::FakePrompts prompts;
    {
        AppServices app(session, rec.overrides());
        TFormMain w(session, app, &prompts);
        w.show();
        session.settings.SectMt = 21.0L;
        test::WriteFile(session.folders.TempDir + "temp0000.dtb", "x");
        const auto termination = ShutDownInOrderOnTermination(w);
        ASSERT_TRUE(termination->Active());
        QTimer::singleShot(0, [] { std::raise(SIGTERM); });
        QApplication::exec();
        // The close query ran before the window went.
        EXPECT_TRUE(rec.log.calls.contains("Stop(wait)"));
        EXPECT_FALSE(w.isVisible());
    }
}

TEST(Termination, SigtermShutsDownInOrder) {
    QTemporaryDir tmp;
    const Folders f = test::FoldersUnder(tmp.path());
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kTermChild, tmp.path());
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=TerminationChild.Run"});
    ASSERT_TRUE(p.waitForStarted());
    if (!p.waitForFinished(120000)) {   // a guard only
        p.kill();
        p.waitForFinished();
    }
    const QByteArray out = p.readAll();
    ASSERT_EQ(p.exitStatus(), QProcess::NormalExit) << out.toStdString();
    EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
    // Settings written, working files gone.
    EXPECT_TRUE(test::ReadFile(f.ShareDir + "velmaris.ini").startsWith("21.0\r\n"));
    EXPECT_FALSE(QFile::exists(f.TempDir + "temp0000.dtb"));
}

TEST(SetupDialog, OkAppliesTheFieldsAndCancelKeepsTheSettings) {
    Settings s;
    const Settings before = s;
    auto answer = [](int button) {
        return [button](TOKBottomDlgSetup& d) {
            EXPECT_EQ(d.EditSectMt->text(), "15.0");
            d.EditSectMt->setText("22.5");
            d.EditMinLapDist->setText("9999");
            d.EditMinLapTime->setText("99.9");
            d.show();
            button == QDialog::Accepted ? d.accept() : d.reject();
            return d.result();
        };
    };
    EXPECT_FALSE(TOKBottomDlgSetup::Run(nullptr, s, answer(QDialog::Rejected)));
    EXPECT_EQ(s.SectMt, before.SectMt);
    EXPECT_EQ(s.MinLapDist, before.MinLapDist);
    EXPECT_EQ(s.MinLapTime, before.MinLapTime);

    EXPECT_TRUE(TOKBottomDlgSetup::Run(nullptr, s, answer(QDialog::Accepted)));
    EXPECT_EQ(double(s.SectMt), 22.5);
    EXPECT_NEAR(double(s.MinLapDist), 9.999, 1e-12);
    EXPECT_NEAR(double(s.MinLapTime), 99.9, 1e-12);
}

TEST(SetupDialog, RefusesInvalidOkAndDefaultsSetOnlyTheirField) {
    TOKBottomDlgSetup dlg;
    EXPECT_EQ(dlg.windowTitle(), "設定");
    EXPECT_EQ(dlg.PageControl->tabText(dlg.PageControl->currentIndex()), "ラップ");
    dlg.SetFields({"15.0", "1.0", "8.0"});
    dlg.show();
    dlg.accept();
    EXPECT_TRUE(dlg.isVisible());   // refused, silently
    dlg.ButtonDefLap->click();
    EXPECT_EQ(dlg.EditMinLapDist->text(), "200");
    EXPECT_EQ(dlg.EditMinLapTime->text(), "8.0");
    dlg.EditSectMt->setText("31");
    dlg.accept();
    EXPECT_TRUE(dlg.isVisible());
    dlg.ButtonDef->click();
    dlg.EditMinLapTime->setText("100");
    dlg.ButtonDefTim->click();
    EXPECT_EQ(dlg.EditSectMt->text(), "15.0");
    dlg.accept();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    // Cancel is never refused.
    TOKBottomDlgSetup dlg2;
    dlg2.SetFields({"x", "x", "x"});
    dlg2.show();
    dlg2.reject();
    EXPECT_FALSE(dlg2.isVisible());
}

TEST(SingleInstanceEntry, SecondStartIsRefusedAndRaisesTheFirst) {
    const QString key = QString("velmaris-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(key);
    test::FakePrompts p1;
    ASSERT_TRUE(CheckSingleInstance(first, p1));
    EXPECT_TRUE(p1.calls.empty());
    int raised = 0;
    first.Listen([&] { ++raised; });

    SingleInstance second(key);
    test::FakePrompts p2;
    EXPECT_FALSE(CheckSingleInstance(second, p2));
    EXPECT_EQ(p2.texts("inform"), QStringList({"ヴェルマリスはすでに起動しています。"}));
    for (int i = 0; i < 200 && raised == 0; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(raised, 1);
    first.Release();
}

TEST_F(MainWindowTest, StatusListIsMirroredAndToggledFromItsPanel) {
    AppServices app(session, rec.overrides());
    TFormMain w(session, app, &prompts);
    session.statusList.Add("12 records");
    session.statusList.Add("spd abnormal 2000.02 km/h");
    ASSERT_EQ(w.loggerTab().ListBox1->count(), 2);
    EXPECT_EQ(w.loggerTab().ListBox1->item(0)->text(), "spd abnormal 2000.02 km/h");
    EXPECT_TRUE(w.loggerTab().ListBox1->isHidden());
    w.loggerTab().PanelViewOnOffDblClick();
    EXPECT_FALSE(w.loggerTab().ListBox1->isHidden());
    EXPECT_FALSE(w.loggerTab().ListBox2->isHidden());
    w.loggerTab().PanelViewOnOffDblClick();
    EXPECT_TRUE(w.loggerTab().ListBox2->isHidden());
}
