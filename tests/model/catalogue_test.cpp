#include <cmath>
#include <gtest/gtest.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "common/geodesy.h"
#include "common/parsing.h"
#include "model/catalogue.h"
#include "support/test_folders.h"

namespace vel {
namespace {

constexpr long double Ido0 = 35.37L;
constexpr long double Kdo0 = 138.927L;

// The point northM north and eastM east of the search position, by the
// same equirectangular rule the search measures with.
void Offset(long double northM, long double eastM, long double& ido, long double& kdo) {
    ido = Ido0 + northM / EarthR * 180.0L / Pi;
    kdo = Kdo0 + eastM / (EarthR * std::cos(Ido0 * Pi / 180.0L)) * 180.0L / Pi;
}

QByteArray PthText(long double ido, long double kdo) {
    return ("<path>\r\n" + FormatFixed(kdo, 6) + "," + FormatFixed(ido, 6) + "\r\n</path>\r\n").toLatin1();
}

void SetTime(const QString& path, const QDateTime& t) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(t, QFileDevice::FileModificationTime));
}

class CatalogueTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Folders folders = test::FoldersUnder(dir.path());
    Catalogue cat;

    QString Pth(const QString& rel, long double northM, long double eastM = 0) {
        long double ido, kdo;
        Offset(northM, eastM, ido, kdo);
        const QString path = folders.CircuitDir + rel;
        test::WriteFile(path, PthText(ido, kdo));
        return path;
    }
    QStringList Search() {
        CalPthGap(cat, Kdo0, Ido0);
        SetSelCirLstPth(cat, SelCircuitRadiusKm);
        return CandidateNames(cat.SelCirLstPth);
    }
};

TEST_F(CatalogueTest, SearchTakesFilesWithinFiveKilometresNearestFirst) {
    Pth("north4999.pth", 4999);
    Pth("north5001.pth", 5001);
    Pth("east4998.pth", 0, 4998);
    Pth("east5002.pth", 0, 5002);
    Pth("near.pth", 120);
    Pth("south3000.pth", -3000);
    BuildCatalogue(cat, folders);
    ASSERT_EQ(cat.PthDat.size(), 6);

    EXPECT_EQ(Search(), QStringList({"near", "south3000", "east4998", "north4999"}));
    for (const TSelCirDat& c : cat.SelCirLstPth)
        EXPECT_EQ(cat.PthDat[c.NofArray].FileName, c.Name);
    // Gaps of files outside the radius are kept too.
    for (const TPthClnDat& d : cat.PthDat) {
        if (d.FileName == "north5001") {
            EXPECT_NEAR(double(d.Gap), 5.001, 1e-4);
        }
    }
}

TEST_F(CatalogueTest, RadiusIsIncludedAndTiesGoNewestFirst) {
    const QDateTime t0(QDate(2024, 4, 14), QTime(10, 0));
    struct Entry { const char* name; long double gap; QDateTime time; };
    const Entry entries[] = {
        {"older", 2.0L, t0},
        {"edge", 5.0L, t0},
        {"newer", 2.0L, t0.addSecs(60)},
        {"unknownTime", 2.0L, QDateTime()},
        {"outside", 5.0000001L, t0},
        {"nearest", 0.5L, t0.addDays(-30)},
    };
    for (const Entry& e : entries) {
        TPthClnDat d;
        d.FileName = e.name;
        d.Gap = e.gap;
        d.FileCreationTime = e.time;
        cat.SciDat.append(d);
    }
    SetSelCirLstSci(cat, SelCircuitRadiusKm);
    EXPECT_EQ(CandidateNames(cat.SelCirLstSci),
              QStringList({"nearest", "newer", "older", "unknownTime", "edge"}));

    // A search position that is not a number finds nothing.
    CalSciGap(cat, Kdo0, std::nanl(""));
    SetSelCirLstSci(cat, SelCircuitRadiusKm);
    EXPECT_TRUE(cat.SelCirLstSci.isEmpty());
}

TEST_F(CatalogueTest, TwoMapsAtOnePlaceOfferTheNewerFirst) {
    const QString a = Pth("a_old.pth", 100);
    const QString b = Pth("b_new.pth", 100);
    const QDateTime t(QDate(2023, 9, 1), QTime(8, 30));
    SetTime(a, t);
    SetTime(b, t.addSecs(1));
    BuildCatalogue(cat, folders);
    EXPECT_EQ(Search(), QStringList({"b_new", "a_old"}));

    SetTime(a, t.addSecs(2));
    BuildCatalogue(cat, folders);
    EXPECT_EQ(Search(), QStringList({"a_old", "b_new"}));
}

TEST_F(CatalogueTest, ScanFindsFilesInSubFoldersWithoutFollowingLinks) {
    Pth("top.pth", 0);
    Pth("deep/er/sub.PTH", 0);          // extension compared lower-cased
    Pth(".hidden/h.pth", 0);
    Pth("name.with.dots.pth", 0);
    Pth("backup.pth.bak", 0);
    Pth("nopth", 0);
    test::WriteFile(folders.ClnDir + "wrongkind.pth", PthText(Ido0, Kdo0));
    const QString outside = dir.path() + "/outside";
    test::WriteFile(outside + "/linked.pth", PthText(Ido0, Kdo0));
    ASSERT_TRUE(QFile::link(outside, folders.CircuitDir + "linkdir"));
    ASSERT_TRUE(QFile::link(outside + "/linked.pth", folders.CircuitDir + "filelink.pth"));

    QStringList found;
    FindFilesByExt(found, folders.CircuitDir, ".pth");
    QStringList rel;
    for (const QString& p : found) rel << QDir(folders.CircuitDir).relativeFilePath(p);
    rel.sort();
    EXPECT_EQ(rel, QStringList({".hidden/h.pth", "deep/er/sub.PTH", "name.with.dots.pth", "top.pth"}));

    BuildCatalogue(cat, folders);
    QStringList names;
    for (const TPthClnDat& d : cat.PthDat) names << d.FileName;
    names.sort();
    EXPECT_EQ(names, QStringList({"h", "name.with.dots", "sub", "top"}));
    EXPECT_TRUE(cat.ClnDat.isEmpty());
    EXPECT_TRUE(cat.SciDat.isEmpty());

    // Missing folders give empty tables.
    Catalogue none;
    BuildCatalogue(none, test::FoldersUnder(dir.path() + "/nothing"));
    EXPECT_TRUE(none.PthDat.isEmpty());
}

TEST_F(CatalogueTest, PositionIsTakenFromWhereEachKindKeepsIt) {
    struct Case {
        const char* name;
        QString ext;
        QByteArray text;
        long double ido, kdo;
    };
    const std::vector<Case> cases = {
        {"course map", ".pth", "<path>\r\n138.500000,35.250000\r\n138.6,35.3\r\n</path>\r\n", 35.25L, 138.5L},
        {"course map after notes", ".pth",
         "Suzuka east, 2024\r\nby hand\r\n<path>\r\n\r\nbad,35\r\n138.5,35.25\r\n</path>\r\n", 35.25L, 138.5L},
        {"course map with CR line ends and a BOM", ".pth",
         "\xEF\xBB\xBF<path>\r138.5,35.25\r</path>\r", 35.25L, 138.5L},
        {"course map without points", ".pth", "<path>\r\n</path>\r\n", 0, 0},
        {"control line", ".cln", "1\r\n35.250000\r\n138.500000\r\n35.3\r\n138.6\r\n", 35.25L, 138.5L},
        {"start and finish", ".cln", "2\r\n35.25\r\n138.5\r\n", 35.25L, 138.5L},
        {"control line of two lines", ".cln", "1\r\n35.25\r\n", 0, 0},
        {"control line with a bad number", ".cln", "1\r\n35.25\r\nx\r\n", 35.25L, 0},
        {"sector file", ".sci", "35.250000,138.500000,35.3,138.6,1\r\n36,139,36,139,2\r\n", 35.25L, 138.5L},
        {"sector file after a one-field line", ".sci", "sectors\r\n35.25,138.5,35.3,138.6\r\n", 35.25L, 138.5L},
        {"empty sector file", ".sci", "", 0, 0},
        {"sector file of a BOM alone", ".sci", "\xEF\xBB\xBF", 0, 0},
        {"control line of a BOM alone", ".cln", "\xEF\xBB\xBF", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        const Folders f = test::FoldersUnder(root.path());
        const QString& ext = c.ext;
        const QString folder = ext == ".pth" ? f.CircuitDir : ext == ".cln" ? f.ClnDir : f.SectDir;
        test::WriteFile(folder + "file" + ext, c.text);
        Catalogue one;
        BuildCatalogue(one, f);
        const QVector<TPthClnDat>& table =
            ext == ".pth" ? one.PthDat : ext == ".cln" ? one.ClnDat : one.SciDat;
        ASSERT_EQ(table.size(), 1);
        EXPECT_EQ(table[0].FileName, "file");
        EXPECT_DOUBLE_EQ(double(table[0].ido), double(c.ido));
        EXPECT_DOUBLE_EQ(double(table[0].kdo), double(c.kdo));
        EXPECT_EQ(double(table[0].Gap), 99.9);
        EXPECT_TRUE(table[0].FileCreationTime.isValid());
    }
}

} // namespace
} // namespace vel
