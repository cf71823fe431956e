#pragma once
// Sentence framing of the logger link: "$" body "*" checksum CR LF, where the
// checksum is the XOR of the body's bytes as two upper-case hex digits.
// Pure functions and a byte-fed line assembler; no port, no threads.
#include <cstdint>
#include <QByteArray>
#include <QByteArrayView>

namespace vel {

// A received line is cut at this length (the line buffer's size).
constexpr int MaxLineLen = 32768;

uint8_t SentenceChecksum(QByteArrayView body);
// "$" + body + "*" + checksum + CR LF.
QByteArray FrameSentence(QByteArrayView body);

enum class FrameCheck { Ok, NoStar, BadSum };
// Checks a complete line (with "$", without CR LF): "*" three from the end
// and the two digits after it equal to the XOR of the bytes between "$" and
// "*". Lower-case digits fail, as the logger always writes upper case.
FrameCheck CheckFrame(QByteArrayView line);

enum class LineRoute { Pmtk, Ptsi, Nmea, Drop };
LineRoute RouteLine(QByteArrayView line);

// Assembles lines byte by byte: LF is ignored, "$" starts a new line (a
// partial line before it is reported as broken), CR ends a line. A line that
// reaches MaxLineLen is cut: reported once and the rest up to its end dropped.
class LineAssembler {
public:
    enum class Event { None, Line, Broken, Cut };

    // Feeds one byte. On Line the complete line is in Line(); on Broken the
    // dropped partial line is in Broken() and the new line has begun.
    Event Feed(char c);
    const QByteArray& Line() const { return line_; }
    const QByteArray& Broken() const { return broken_; }
    // The line received so far (empty between lines).
    const QByteArray& Partial() const { return buf_; }
    // Starts over: the partial line is forgotten.
    void Reset();
    // A reply line ("$PMTK" or "$PTSI") is partly received.
    bool ReplyInProgress() const;

private:
    QByteArray buf_;
    QByteArray line_;
    QByteArray broken_;
    bool skipping_ = false;   // a cut line: bytes are dropped up to its end
};

} // namespace vel
