// The desktop opener, with a stand-in xdg-open: nothing real is opened.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTemporaryDir>
#include <QUrl>
#include <optional>

#include "platform/shell.h"
#include "support/stub_opener.h"

namespace {

using Call = void (vel::Shell::*)(const QString&, vel::Shell::OpenDone);

// Hands s to the shell and waits, pumping events, for its one answer.
bool OpenAndWait(vel::Shell& shell, const QString& s, Call call = &vel::Shell::OpenWithApplication) {
    std::optional<bool> result;
    int calls = 0;
    QEventLoop loop;
    (shell.*call)(s, [&](bool opened) {
        result = opened;
        ++calls;
        loop.quit();
    });
    if (!result) loop.exec();
    EXPECT_EQ(calls, 1);
    return *result;
}

TEST(Shell, RefusesWhatDoesNotExist) {
    QTemporaryDir tmp;
    const QString missing = tmp.path() + "/missing.dtb";
    vel::test::StubOpener opener(0);
    vel::SystemShell shell;
    for (const QString& s : {QString(), QString("  "), missing, QString("lap:1.dtb"),
                             QUrl::fromLocalFile(missing).toString()}) {
        SCOPED_TRACE(s.toStdString());
        EXPECT_TRUE(vel::OpenerArgument(s).isEmpty());
        EXPECT_FALSE(OpenAndWait(shell, s));
    }
    for (const QString& s : {QString(), tmp.path() + "/no/such/folder/x.dtb"}) {
        SCOPED_TRACE(s.toStdString());
        EXPECT_FALSE(OpenAndWait(shell, s, &vel::Shell::ShowInFolder));
    }
    EXPECT_TRUE(opener.arguments().isEmpty());
}

TEST(Shell, OpenerExitStatusDecides) {
    QTemporaryDir tmp;
    const QString file = tmp.path() + "/help 1.pdf";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString fileUrl = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
    const QString web = "https://www.velmaris.jp/";
    struct Case {
        int status;   // the opener's exit status; -1: no opener at all
        QString what;
        Call call;
        bool opened;
        QString handed;   // what the opener gets
    };
    const Call open = &vel::Shell::OpenWithApplication;
    const Call show = &vel::Shell::ShowInFolder;
    const QString folderUrl = QUrl::fromLocalFile(tmp.path()).toString(QUrl::FullyEncoded);
    const Case cases[] = {
        {0, file, open, true, fileUrl},
        {0, web, open, true, web},
        {0, file, show, true, folderUrl},
        {3, file, open, false, fileUrl},   // no application for the file
        {4, web, open, false, web},        // the application failed
        {4, file, show, false, folderUrl},
        {-1, file, open, false, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        SCOPED_TRACE(c.what.toStdString());
        vel::test::StubOpener opener(c.status);
        vel::SystemShell shell;
        EXPECT_EQ(OpenAndWait(shell, c.what, c.call), c.opened);
        EXPECT_EQ(opener.arguments(), c.handed.isEmpty() ? QStringList() : QStringList{c.handed});
    }
}

} // namespace
