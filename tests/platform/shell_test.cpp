// Only the refusals: anything that would really open a program stays out.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QUrl>

#include "platform/shell.h"

namespace {

TEST(Shell, RefusesWhatDoesNotExist) {
    QTemporaryDir tmp;
    const QString missing = tmp.path() + "/missing.dtb";
    for (const QString& s : {QString(), QString("  "), missing, QString("lap:1.dtb"),
                             QUrl::fromLocalFile(missing).toString()}) {
        SCOPED_TRACE(s.toStdString());
        EXPECT_FALSE(vel::OpenWithApplication(s));
    }
    EXPECT_FALSE(vel::ShowInFolder(QString()));
    EXPECT_FALSE(vel::ShowInFolder(tmp.path() + "/no/such/folder/x.dtb"));
}

} // namespace
