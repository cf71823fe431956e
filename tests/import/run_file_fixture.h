#pragma once
// A session in folders of its own, a folder src/ for the files a test
// loads, and readers of the lap list and working files the loads leave.
#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>
#include "model/lap_file.h"
#include "model/session.h"
#include "support/test_folders.h"

namespace vel::test {

struct RunFileTest : ::testing::Test {
    QTemporaryDir tmp;
    Session session;
    QString src;

    void SetUp() override {
        session.folders = FoldersUnder(tmp.path());
        QDir().mkpath(session.folders.TempDir);
        src = tmp.path() + "/src/";
        QDir().mkpath(src);
    }
    QString Working(int n) const { return WorkingFileName(session.folders.TempDir, n); }
    QVector<TLapElmRec> WorkingRecords(int n) const {
        QVector<TLapElmRec> recs;
        EXPECT_EQ(ReadLapFile(Working(n), recs), LapFileStatus::Ok);
        return recs;
    }
    const LapRow& Row(int r) const { return session.lapList.Rows.at(r); }
    QString Cell(int r, int c) const { return Row(r).Cells.at(c); }
    int RowCount() const { return session.lapList.LapStrLstNum(); }
};

} // namespace vel::test
