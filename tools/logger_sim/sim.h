#pragma once
// A stand-in for the GPS lap logger on a pseudo-terminal: it answers the
// link's sentences as the chosen model does, at that model's line speed,
// serves a memory image, paces its output at the line's byte rate when asked
// and injects faults on request. Plain POSIX; used by the logger_sim
// program, the tests (through that program) and the link benchmark.
#include <atomic>
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
    std::string out_;               // bytes ready to go out
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
    // Logger state.
    std::string fix_ = "100";
    std::string rate_ = "1";
    std::string trig_ = "30.00";
};

} // namespace velsim
