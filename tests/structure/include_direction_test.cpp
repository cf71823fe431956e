// Libraries depend downward only: a file under src/ may include its own
// folder and the folders below it, never one beside or above it.
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

const std::map<QString, std::set<QString>>& Allowed() {
    static const std::map<QString, std::set<QString>> table = {
        {"common", {"common"}},
        {"platform", {"common", "platform"}},
        {"model", {"common", "platform", "model"}},
        {"import", {"common", "platform", "model", "import"}},
        {"analysis", {"common", "platform", "model", "analysis"}},
        {"views", {"common", "platform", "model", "import", "analysis", "views"}},
        {"logger", {"common", "platform", "model", "logger"}},
        {"video", {"common", "platform", "model", "video"}},
        {"app", {"common", "platform", "model", "import", "analysis", "views", "logger", "video", "app"}},
    };
    return table;
}

// "src/x/f.cpp: includes y/g.h" for every include of a folder the file's
// folder may not use; folders missing from the table are reported too.
QStringList WrongIncludes(const QString& srcDir) {
    QStringList wrong;
    static const QRegularExpression include(R"re(^\s*#\s*include\s*"([a-z_]+)/)re");
    QDirIterator it(srcDir, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(srcDir).relativeFilePath(path);
        const QString folder = rel.section('/', 0, 0);
        const auto allowed = Allowed().find(folder);
        if (allowed == Allowed().end()) {
            wrong << rel + ": folder not in the table";
            continue;
        }
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            wrong << rel + ": unreadable";
            continue;
        }
        QTextStream in(&f);
        int lineNo = 0;
        while (!in.atEnd()) {
            const QString line = in.readLine();
            ++lineNo;
            const auto m = include.match(line);
            if (m.hasMatch() && !allowed->second.count(m.captured(1)))
                wrong << QString("%1:%2: includes %3").arg(rel).arg(lineNo).arg(line.trimmed());
        }
    }
    return wrong;
}

void Write(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

TEST(IncludeDirection, SourceTreeIncludesOnlyDownward) {
    const QString src = QStringLiteral(VELMARIS_SOURCE_DATA_DIR "/../src");
    ASSERT_TRUE(QDir(src).exists("app")) << src.toStdString();
    const QStringList wrong = WrongIncludes(src);
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join('\n').toStdString();
}

TEST(IncludeDirection, CatchesIncludesThatRunSidewaysOrUp) {
    struct Case {
        const char* file;
        const char* text;
        bool wrong;
    };
    const Case cases[] = {
        {"model/a.cpp", "#include \"common/x.h\"\n", false},
        {"model/b.cpp", "#include \"analysis/x.h\"\n", true},    // up
        {"import/c.h", "  #  include \"analysis/x.h\"\n", true},   // sideways
        {"analysis/d.cpp", "#include \"import/x.h\"\n", true},
        {"logger/e.cpp", "#include \"views/x.h\"\n", true},
        {"video/f.cpp", "#include \"model/x.h\"\n#include <QString>\n", false},
        {"views/g.cpp", "#include \"app/x.h\"\n", true},
        {"app/h.cpp", "#include \"video/x.h\"\n#include \"logger/x.h\"\n", false},
        {"tools/i.cpp", "#include \"common/x.h\"\n", true},           // a folder the table lacks
        {"common/j.cpp", "// #include \"app/x.h\" in a comment is no include\n", false},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        Write(dir.path() + "/" + c.file, c.text);
        EXPECT_EQ(!WrongIncludes(dir.path()).isEmpty(), c.wrong) << c.file;
    }
}
