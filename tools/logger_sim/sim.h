#pragma once
// A stand-in for the GPS lap logger on a pseudo-terminal: it answers the
// link's sentences as the chosen model does, at that model's line speed,
// serves a memory image, paces its output at the line's byte rate when asked
// and injects faults on request. Plain POSIX; used by the logger_sim
// program, the tests (through that program) and the link benchmark.
#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <cstdint>
#include <string>
#include <vector>

namespace velsim {

enum class Model { QK4, QK3, QK3Raw, Old887, Old860 };

struct Options {
    Model model = Model::QK4;
    std::string link;          // symbolic link made to the pty's slave
    std::string image;         // memory image file (".bnx4" / ".binx"), optional
    int baud = 0;              // 0: the model's own speed
    bool pace = false;         // output at baud / 10 bytes a second
    int nmeaHz = 0;            // position sentences a second, 0 none
    int eraseMs = 1500;        // time the memory erase takes
    long long used = -1;       // used bytes; -1: the image without its trailing FF
};

bool ParseModel(const std::string& s, Model& m);
int ModelBaud(Model m);
std::string ModelRelease(Model m);

class Logger {
public:
    explicit Logger(Options o);
    ~Logger();
    // Makes the pty and the link; false with a reason.
    bool Open(std::string* error);
    // Serves until Stop() or, with controlFd >= 0, until that fd closes or
    // says "quit". Control lines are answered on replyFd.
    void Run(int controlFd = -1, int replyFd = -1);
    // Any thread.
    void Stop();

    // Figures for the benchmark (read after Run returned, or from the control channel).
    struct Stats {
        long long requests = 0;
        long long turnarounds = 0;
        double turnaroundSumUs = 0, turnaroundMaxUs = 0;
    };
    Stats GetStats() const {
        std::lock_guard<std::mutex> lock(statsMx_);
        return stats_;
    }
    const std::string& SlavePath() const { return slave_; }

private:
    struct Pending { long long atUs; std::string bytes; };

    std::string Control(const std::string& line);
    void OnInput(const char* data, size_t n);
    void OnRequest(const std::string& body);
    void Respond(std::vector<std::string> lines, const std::string& raw = {});
    void Emit(std::string bytes, long long delayUs = 0);
    void Flush();
    long long NextWakeUs() const;
    bool SpeedMatches() const;
    void ReadMemory(unsigned addr, unsigned len, std::vector<std::string>& out);
    std::string Nmea();

    Options o_;
    int master_ = -1, slave_fd_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::string slave_;
    std::vector<uint8_t> mem_;
    long long used_ = 0;
    std::string inLine_;
    bool inLineActive_ = false;
    // Bytes ready to go out; written bytes are dropped from the front in
    // large steps, so a bulk answer of many MiB is not copied per write.
    class OutBuffer {
    public:
        bool empty() const { return off_ == buf_.size(); }
        size_t size() const { return buf_.size() - off_; }
        const char* data() const { return buf_.data() + off_; }
        OutBuffer& operator+=(const std::string& s) { buf_ += s; return *this; }
        void consume(size_t n) {
            off_ += std::min(n, size());
            if (off_ == buf_.size()) { buf_.clear(); off_ = 0; }
            else if (off_ > (1u << 20) && off_ > buf_.size() / 2) { buf_.erase(0, off_); off_ = 0; }
        }
    private:
        std::string buf_;
        size_t off_ = 0;
    };
    OutBuffer out_;
    // What waits behind out_, in order: bytes, or a large memory read whose
    // lines are made as the output drains, so its first line goes out at
    // once, as the logger's does, not after the whole answer was built.
    struct Job {
        std::string bytes;
        bool read = false;
        unsigned addr = 0, end = 0, next = 0;   // read: [addr, end), next line's address
        long long line = 0;                     // read: lines made so far
        std::string fault;                      // read: "dropline" / "badline" (line faultArg)
        long long faultArg = 0;
    };
    std::deque<Job> jobs_;
    void Append(const std::string& bytes);
    void TopUp();
    std::vector<Pending> later_;    // bytes due at a time
    long long paceStartUs_ = 0, paceSent_ = 0;
    long long lastOutEndUs_ = -1;   // when the last reply byte went out
    long long nextNmeaUs_ = 0;
    mutable std::mutex statsMx_;   // the benchmark reads the figures from its own thread
    Stats stats_;
    // Faults, armed by control lines.
    bool silent_ = false;
    std::string nextFault_;
    long long faultArg_ = 0;
    bool noAck_ = false;            // acknowledgements of memory reads are lost
    long long everyBadsum_ = 0;     // every Nth data line goes out mis-summed
    long long dataLines_ = 0;
    // Logger state, as the set-up sentences leave it.
    std::string fix_ = "100";
    std::string rate_ = "1";
    std::string trig_ = "30.00";
    std::string fmt_, dist_ = "0", spd_ = "0", method_ = "2";
    std::string qk4set_ = "27";
    std::string dgps_ = "0", sbas_ = "0", datum_ = "0";
    std::string nmeaOut_ = "0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,1,0,0,0";
    int erased_ = 0;
    // Bodies received, memory reads left out, until the "received" control line.
    std::vector<std::string> received_;
    std::string State() const;
    // Faults aimed at one memory read, by the address and byte length it
    // asks for ("at ADDR/LEN KIND [ARG]"), each used once; and a span of
    // output lost as if the line had dropped it ("mute MS").
    struct AtFault { unsigned addr = 0, len = 0; std::string kind; long long arg = 0; };
    std::vector<AtFault> atFaults_;
    long long muteUntilUs_ = 0;
    bool AtRead(unsigned addr, unsigned len, std::vector<std::string> lines, std::string raw);
};

} // namespace velsim
