// The logger in the running program: the main window's own link finds the
// simulator, shows its status, and a download goes through the log import
// into the lap list.
#include <gtest/gtest.h>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include "app/main_window.h"
#include "logger/logger_commands.h"
#include "logger/logger_controls.h"
#include "logger/logger_link.h"
#include "logger/sim_process.h"
#include "logger/logger_tab.h"
#include "import/log_import_commands.h"
#include "import/memory_image.h"
#include "support/sample_builder.h"
#include "support/scripted_window.h"

using namespace vel;
using namespace vel::test;

namespace {

// A main window as the program makes it, with scripted dialogs.
struct Window : ScriptedWindow {
    QStringList Messages() const {
        QStringList out;
        for (const auto& c : prompts.calls) out << c.kind + ": " + c.text;
        return out;
    }
};

// The port list of the window's link comes from the environment while it lives.
class PortsFromEnv {
public:
    explicit PortsFromEnv(const QString& ports) { qputenv("VELMARIS_LOGGER_PORTS", ports.toUtf8()); }
    ~PortsFromEnv() { qunsetenv("VELMARIS_LOGGER_PORTS"); }
};

} // namespace

TEST(LoggerWindow, StatusAndDownloadOfTheSampleSessionEndInItsLaps) {
    const QString sample = QStringLiteral(VELMARIS_SOURCE_DATA_DIR "/") + SampleRawFile;
    QFile sampleFile(sample);
    ASSERT_TRUE(sampleFile.open(QIODevice::ReadOnly));
    const QByteArray sampleBytes = sampleFile.readAll();

    // The laps the file cuts into when opened as a saved log.
    Window ref;
    ref.ScriptSampleLine();
    ref.prompts.openResults.push_back({sample});
    ref.w->importCommands().SpeedButtonLdLogFileClick();
    ASSERT_GE(ref.session.lapList.Rows.size(), qsizetype(SampleLaps));

    SimProcess sim({"--model", "qk4", "--image", sample});
    ASSERT_TRUE(sim.ready);
    PortsFromEnv ports(sim.link);
    Window win;
    LoggerControls* controls = win.w->loggerTab().Controls();
    LoggerCommands* cmds = win.w->loggerTab().Commands();
    ASSERT_TRUE(controls && cmds);

    // The status button: the labels show the logger that answered.
    controls->ButtonLogSpace->click();
    ASSERT_TRUE(WaitFor([&] { return !controls->LabelDtVer->text().isEmpty() && controls->ButtonLogSpace->isEnabled(); },
                        20000))
        << win.Messages().join('\n').toStdString();
    EXPECT_EQ(controls->LabelDtVer->text(), "QK4,V1.20,0007,27");
    EXPECT_EQ(controls->LabelPort->text(), "ポート = " + sim.link);
    EXPECT_EQ(controls->LabelCurrntMode->text(), "10Hzモード");
    EXPECT_TRUE(controls->LabelLogStat->text().startsWith("空き領域 99.")) << controls->LabelLogStat->text().toStdString();
    EXPECT_TRUE(win.prompts.calls.empty()) << win.Messages().join('\n').toStdString();

    // The download button: the image is saved where the dialog says and cut
    // at the sample's control line.
    const QString saved = win.tmp.filePath("sample.bnx4");
    win.prompts.saveResults.push_back(saved);
    win.ScriptSampleLine();
    controls->SpeedButtonLdGPS->click();
    ASSERT_TRUE(WaitFor([&] { return !win.session.lapList.Rows.empty(); }, 30000))
        << win.Messages().join('\n').toStdString();
    ASSERT_TRUE(WaitFor([&] { return controls->ButtonLogSpace->isEnabled() && !cmds->LoadingDialog(); }, 10000));
    EXPECT_EQ(win.prompts.texts("save"), QStringList{LogSaveTitle}) << win.Messages().join('\n').toStdString();
    EXPECT_EQ(win.prompts.calls.size(), 1u) << win.Messages().join('\n').toStdString();
    ASSERT_EQ(win.dialog->openings.size(), 1u);
    EXPECT_EQ(win.dialog->openings[0].logItemNum, ref.dialog->openings.at(0).logItemNum);

    // The saved file is the logger's memory up to its last used block.
    QFile savedFile(saved);
    ASSERT_TRUE(savedFile.open(QIODevice::ReadOnly));
    const QByteArray got = savedFile.readAll();
    ASSERT_GT(got.size(), 0);
    EXPECT_EQ(got.size() % LogBlockSize, 0);
    EXPECT_EQ(got, sampleBytes.left(got.size()));
    for (qsizetype i = got.size(); i < sampleBytes.size(); ++i)
        ASSERT_EQ(uint8_t(sampleBytes[i]), 0xFF) << "byte " << i << " of the sample was not saved";

    // The same laps as the file's own import, names included: the download
    // was saved under the sample's own file name.
    const auto& a = ref.session.lapList.Rows;
    const auto& b = win.session.lapList.Rows;
    ASSERT_EQ(b.size(), a.size());
    for (qsizetype r = 0; r < a.size(); ++r) {
        SCOPED_TRACE(r);
        for (int c = 0; c <= 7; ++c) {
            EXPECT_EQ(b[r].Cells[size_t(c)], a[r].Cells[size_t(c)]) << "column " << c;
        }
    }
}
