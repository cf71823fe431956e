// Writes a help document as PDF from its Markdown source, at build time, so
// that the shipped PDFs always match the text in the repository.
// Usage: make_help SOURCE.md OUTPUT.pdf
#include <cstdio>
#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

int main(int argc, char** argv) {
    // Offscreen unless the caller chose otherwise: the build has no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_help SOURCE.md OUTPUT.pdf\n");
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make_help: %s: %s\n", argv[1], qPrintable(in.errorString()));
        return 1;
    }
    const QString text = QString::fromUtf8(in.readAll());

    QTextDocument doc;
    // The Japanese font the setup installs; Qt falls back per glyph if absent.
    QFont font(QStringLiteral("IPAGothic"));
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    doc.setDefaultStyleSheet(QStringLiteral("table { border-collapse: collapse; } "
                                            "th, td { padding: 3px; }"));
    doc.setMarkdown(text);
    // Markdown tables come without rules; give them a thin grid.
    for (QTextFrame::iterator it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (auto* table = qobject_cast<QTextTable*>(it.currentFrame())) {
            QTextTableFormat f = table->format();
            f.setBorder(0.5);
            f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            f.setBorderCollapse(true);
            f.setCellPadding(3);
            table->setFormat(f);
        }
    }
    // The first heading names the document.
    QString title = QFileInfo(source).completeBaseName();
    for (const QString& line : text.split('\n'))
        if (line.startsWith(QLatin1String("# "))) {
            title = line.mid(2).trimmed();
            break;
        }

    QDir().mkpath(QFileInfo(output).absolutePath());
    QSaveFile out(output);
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "make_help: %s: %s\n", argv[2], qPrintable(out.errorString()));
        return 1;
    }
    {
        QPdfWriter pdf(&out);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
        pdf.setResolution(300);
        pdf.setCreator(QStringLiteral("Velmaris"));
        pdf.setTitle(title);
        doc.print(&pdf);
    }
    if (!out.commit()) {
        std::fprintf(stderr, "make_help: %s: %s\n", argv[2], qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
