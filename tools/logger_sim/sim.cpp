#include "logger_sim/sim.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <termios.h>
#include <unistd.h>

namespace velsim {

namespace {

constexpr size_t MemSize = 16u << 20;

long long NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string Hex2(unsigned v) {
    static const char d[] = "0123456789ABCDEF";
    return {d[(v >> 4) & 15], d[v & 15]};
}

std::string Frame(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body) sum ^= c;
    return "$" + body + "*" + Hex2(sum) + "\r\n";
}

std::string Fmt(const char* f, unsigned long long v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

speed_t SpeedOf(int baud) {
    switch (baud) {
    case 9600: return B9600;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
    }
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == sep) { out.push_back(cur); cur.clear(); }
        else cur += c;
    }
    out.push_back(cur);
    return out;
}

bool StartsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

} // namespace

bool ParseModel(const std::string& s, Model& m) {
    if (s == "qk4") m = Model::QK4;
    else if (s == "qk3") m = Model::QK3;
    else if (s == "qk3raw") m = Model::QK3Raw;
    else if (s == "887") m = Model::Old887;
    else if (s == "860ed") m = Model::Old860;
    else return false;
    return true;
}

int ModelBaud(Model m) {
    switch (m) {
    case Model::QK4: return 115200;
    case Model::QK3: return 921600;
    case Model::QK3Raw: return 921600;
    default: return 115200;
    }
}

std::string ModelRelease(Model m) {
    switch (m) {
    case Model::QK4: return "QK4,V1.20,0007";
    case Model::QK3: return "AXN_5.1.7,QK3,9821,0007";
    case Model::QK3Raw: return "AXN_5.1.7,QK3,10210,0007";
    case Model::Old887: return "AXN_1.0,887,0001";
    case Model::Old860: return "TSI_860ED,V2.1";
    }
    return {};
}

Logger::Logger(Options o) : o_(std::move(o)) {
    if (o_.baud == 0) o_.baud = ModelBaud(o_.model);
}

Logger::~Logger() {
    if (!o_.link.empty()) ::unlink(o_.link.c_str());
    for (int fd : {master_, slave_fd_, stopPipe_[0], stopPipe_[1]})
        if (fd >= 0) ::close(fd);
}

bool Logger::Open(std::string* error) {
    mem_.assign(MemSize, 0xFF);
    if (!o_.image.empty()) {
        std::ifstream f(o_.image, std::ios::binary);
        if (!f) { *error = "cannot read " + o_.image; return false; }
        f.read(reinterpret_cast<char*>(mem_.data()), MemSize);
    }
    if (o_.used >= 0) {
        used_ = o_.used;
    } else {
        size_t end = MemSize;
        while (end > 0 && mem_[end - 1] == 0xFF) --end;
        used_ = static_cast<long long>(end);
    }
    if (::openpty(&master_, &slave_fd_, nullptr, nullptr, nullptr) != 0) {
        *error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    // Raw until the host sets the line up; the slave stays open here so the
    // master never sees a hang-up when the host closes its side.
    termios t{};
    ::tcgetattr(slave_fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave_fd_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    slave_ = ::ttyname(slave_fd_);
    if (::pipe(stopPipe_) != 0) { *error = "pipe"; return false; }
    if (!o_.link.empty()) {
        ::unlink(o_.link.c_str());
        if (::symlink(slave_.c_str(), o_.link.c_str()) != 0) {
            *error = "symlink " + o_.link + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void Logger::Stop() {
    if (stopPipe_[1] >= 0) {
        char c = 'q';
        (void)!::write(stopPipe_[1], &c, 1);
    }
}

bool Logger::SpeedMatches() const {
    termios t{};
    if (::tcgetattr(master_, &t) != 0) return true;
    return ::cfgetospeed(&t) == SpeedOf(o_.baud);
}

std::string Logger::Control(const std::string& line) {
    std::istringstream in(line);
    std::string cmd, arg;
    in >> cmd >> arg;
    if (cmd == "silent") silent_ = true;
    else if (cmd == "talk") silent_ = false;
    else if (cmd == "fault") {
        nextFault_ = arg;
        faultArg_ = 0;
        in >> faultArg_;
        if (arg == "unsolicited") {
            nextFault_.clear();
            Emit(Frame("PMTK001,604,3"));
        }
    } else if (cmd == "stats") {
        const Stats st = GetStats();
        std::ostringstream s;
        s << "stats requests " << st.requests << " turnarounds " << st.turnarounds << " mean_us "
          << (st.turnarounds ? st.turnaroundSumUs / st.turnarounds : 0) << " max_us " << st.turnaroundMaxUs;
        return s.str();
    } else if (cmd == "requests") {
        return "requests " + std::to_string(GetStats().requests);
    } else if (cmd == "noack") {
        noAck_ = arg == "on";
    } else if (cmd == "every") {
        // "every badsum N": every Nth memory data line from now on is mis-summed (0 stops it).
        if (arg != "badsum") return "error unknown fault";
        in >> everyBadsum_;
        dataLines_ = 0;
    } else if (cmd == "received") {
        std::string all;
        for (const std::string& b : received_) all += (all.empty() ? "" : ";") + b;
        received_.clear();
        return "received " + all;
    } else if (cmd == "state") {
        return State();
    } else if (cmd == "quit") {
        Stop();
    } else if (cmd == "at") {
        // "at ADDR/LEN KIND [ARG]", both hexadecimal: the answer to that read
        // is "dup" (sent twice), "late MS", "odd [N]" (its first data line
        // loses a digit but keeps a right checksum) or "short [N]" (only its
        // first KiB); N answers in a row, one when not given.
        AtFault f;
        const size_t slash = arg.find('/');
        if (slash == std::string::npos) return "error at ADDR/LEN";
        f.addr = unsigned(std::stoul(arg.substr(0, slash), nullptr, 16));
        f.len = unsigned(std::stoul(arg.substr(slash + 1), nullptr, 16));
        in >> f.kind >> f.arg;
        if (f.kind != "dup" && f.kind != "late" && f.kind != "odd" && f.kind != "short")
            return "error unknown fault";
        atFaults_.push_back(f);
    } else if (cmd == "mute") {
        // "mute MS": what the logger sends in the next MS ms is lost.
        muteUntilUs_ = NowUs() + std::stoll(arg) * 1000;
    } else if (cmd == "hangup") {
        // The port goes away, as when the cable is pulled: the host's side
        // of the pseudo-terminal sees a hang-up.
        if (master_ >= 0) ::close(master_);
        master_ = -1;
        out_ = OutBuffer();
        jobs_.clear();
        later_.clear();
        o_.nmeaHz = 0;
    } else {
        return "error unknown command";
    }
    return "ok";
}

namespace {
void MisSum(std::string& framed) {
    const size_t star = framed.rfind('*');
    if (star == std::string::npos || star + 3 > framed.size()) return;
    const unsigned sum = std::stoul(framed.substr(star + 1, 2), nullptr, 16) ^ 0x5A;
    framed.replace(star + 1, 2, Hex2(sum));
}
} // namespace

void Logger::Emit(std::string bytes, long long delayUs) {
    if (bytes.empty()) return;
    if (delayUs > 0) {
        later_.push_back({NowUs() + delayUs, std::move(bytes)});
        return;
    }
    if (!jobs_.empty()) {
        // Behind a read still being made: in order.
        Job j;
        j.bytes = std::move(bytes);
        jobs_.push_back(std::move(j));
        return;
    }
    Append(bytes);
}

void Logger::Append(const std::string& bytes) {
    if (out_.empty()) {
        paceStartUs_ = NowUs();
        paceSent_ = 0;
    }
    out_ += bytes;
}

void Logger::TopUp() {
    constexpr size_t Low = 256 * 1024;
    while (out_.size() < Low && !jobs_.empty()) {
        Job& j = jobs_.front();
        if (!j.read) {
            Append(j.bytes);
            jobs_.pop_front();
            continue;
        }
        if (j.next >= j.end) {
            if (!noAck_) Append(Frame("PMTK001,182,7,3"));
            jobs_.pop_front();
            continue;
        }
        std::vector<std::string> lines;
        ReadMemory(j.next, std::min(2048u, j.end - j.next), lines);
        j.next += 2048;
        ++j.line;
        if (lines.empty()) continue;
        std::string f = Frame(lines[0]);
        if (everyBadsum_ > 0 && ++dataLines_ % everyBadsum_ == 0) MisSum(f);
        if (j.fault == "dropline" && j.line == j.faultArg) continue;
        if (j.fault == "badline" && j.line == j.faultArg) MisSum(f);
        Append(f);
    }
}

std::string Logger::State() const {
    std::ostringstream s;
    s << "state fix=" << fix_ << " rate=" << rate_ << " fmt=" << fmt_ << " dist=" << dist_ << " spd=" << spd_
      << " method=" << method_ << " trig=" << trig_ << " qk4set=" << qk4set_ << " dgps=" << dgps_ << " sbas=" << sbas_
      << " datum=" << datum_ << " nmea=" << nmeaOut_ << " used=" << used_ << " erased=" << erased_;
    return s.str();
}


void Logger::Respond(std::vector<std::string> lines, const std::string& raw) {
    if (silent_) return;
    std::string fault;
    fault.swap(nextFault_);
    // Faults of memory answers wait for one.
    bool memory = !raw.empty();
    for (const std::string& l : lines) memory = memory || StartsWith(l, "PMTK182,8,");
    const bool memFault = fault == "memdrop" || fault == "dropline" || fault == "badline" || fault == "rawtruncate";
    if (memFault && !memory) {
        nextFault_.swap(fault);
        fault.clear();
    }
    if (fault == "drop" || fault == "memdrop") return;
    // Line faults: "dropline K" / "badline K" hit the Kth line of this answer.
    std::vector<std::string> framed;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (noAck_ && lines[i] == "PMTK001,182,7,3") continue;
        std::string f = Frame(lines[i]);
        const bool data = StartsWith(lines[i], "PMTK182,8,");
        if (data && everyBadsum_ > 0 && ++dataLines_ % everyBadsum_ == 0) MisSum(f);
        if (fault == "dropline" && (long long)i + 1 == faultArg_) continue;
        if (fault == "badline" && (long long)i + 1 == faultArg_) MisSum(f);
        framed.push_back(std::move(f));
    }
    if (lines.empty() && raw.empty()) return;
    if (!lines.empty() && framed.empty()) return;
    std::string first = lines.empty() ? raw : framed[0];
    std::string rest;
    for (size_t i = 1; i < framed.size(); ++i) rest += framed[i];
    if (!lines.empty()) rest = raw + rest;
    if (fault == "badsum" && !lines.empty()) {
        MisSum(first);
    } else if (fault == "truncate" || fault == "rawtruncate") {
        first = first.substr(0, first.size() / 2) + "\r\n";
    } else if (fault == "partial") {
        first = first.substr(0, first.size() / 2);
        rest.clear();
    } else if (fault == "garbage") {
        first = std::string("\x01\x7fnoise#&", 9) + first;
    }
    std::string all = first + rest;
    if (fault == "dup") all += all;
    Emit(all, fault == "late" ? faultArg_ * 1000 : 0);
}

bool Logger::AtRead(unsigned addr, unsigned len, std::vector<std::string> lines, std::string raw) {
    const auto it = std::find_if(atFaults_.begin(), atFaults_.end(),
                                 [&](const AtFault& f) { return f.addr == addr && f.len == len; });
    if (it == atFaults_.end() || silent_) return false;
    const AtFault f = *it;
    // "odd N" and "short N" hit the next N answers to that read.
    if ((f.kind == "odd" || f.kind == "short") && it->arg > 1) --it->arg;
    else atFaults_.erase(it);
    if (!lines.empty() && StartsWith(lines[0], "PMTK182,8,")) {
        if (f.kind == "odd") lines[0].pop_back();
        if (f.kind == "short" && lines[0].size() > 19 + 2048) lines[0].resize(19 + 2048);   // after "PMTK182,8,AAAAAAAA,"
    }
    std::string all = raw;
    for (const std::string& l : lines) all += Frame(l);
    if (f.kind == "dup") all += all;
    Emit(all, f.kind == "late" ? f.arg * 1000 : 0);
    return true;
}

void Logger::ReadMemory(unsigned addr, unsigned len, std::vector<std::string>& out) {
    if (addr >= MemSize) return;
    len = std::min<unsigned>(len, MemSize - addr);
    static const char d[] = "0123456789ABCDEF";
    for (unsigned off = 0; off < len; off += 2048) {
        const unsigned n = std::min(2048u, len - off);
        std::string line = "PMTK182,8," + Fmt("%08llX", addr + off) + ",";
        line.reserve(line.size() + 2 * n);
        for (unsigned i = 0; i < n; ++i) {
            const uint8_t b = mem_[addr + off + i];
            line += d[b >> 4];
            line += d[b & 15];
        }
        out.push_back(std::move(line));
    }
}

void Logger::OnRequest(const std::string& body) {
    const std::vector<std::string> f = Split(body, ',');
    const bool qk4 = o_.model == Model::QK4;
    const bool qk3 = o_.model == Model::QK3 || o_.model == Model::QK3Raw;
    if (body == "PMTK605") return Respond({"PMTK705," + ModelRelease(o_.model)});
    if (StartsWith(body, "PMTK182,2,") && f.size() >= 3) {
        std::string v;
        const std::string& item = f[2];
        if (item == "8") v = Fmt("%08llX", used_);
        else if (item == "10") v = Fmt("%llX", used_ / 16);
        else if (item == "2") v = fmt_.empty() ? (qk4 ? "0004103F" : "8004107D") : fmt_;
        else if (item == "3") v = rate_;
        else if (item == "4") v = dist_;
        else if (item == "5") v = spd_;
        else if (item == "6") v = method_;
        else return Respond({"PMTK001,182,2,1"});
        return Respond({"PMTK182,3," + item + "," + v, "PMTK001,182,2,3"});
    }
    if (body == "PMTK400") return Respond({"PMTK500," + fix_ + ",0,0,0,0"});
    if (body == "PMTK401") return Respond({"PMTK501," + dgps_});
    if (body == "PMTK413") return Respond({"PMTK513," + sbas_});
    if (body == "PMTK430") return Respond({"PMTK530," + datum_});
    if (body == "PMTK492") return Respond({"PMTK592,FFFFFF881C00"});
    if (body == "PMTK490") return Respond({"PMTK590,0,10,115200,0,1,0,0,0,0,0,0,0,0,115200"});
    if (body == "PMTK414") return Respond({"PMTK514," + nmeaOut_});
    if (body == "PTSI777,1") return Respond({"PTSI777,1," + trig_});
    if (StartsWith(body, "PTSI777,2,") && f.size() >= 3) {
        trig_ = f[2];
        return Respond({"PTSI009,777,2"});
    }
    if (body == "PTSI990,2,0" && qk4) return Respond({"PTSI990,2,0," + qk4set_});
    if (StartsWith(body, "PTSI990,2,1,") && qk4) {
        qk4set_ = f.back();
        return Respond({"PTSI990,2,1," + f.back()});
    }
    if (body == "PTSI999,9" && qk3) return Respond({"PTSI999,9,OK"});
    if (body == "PMTK182,6,1") {
        std::fill(mem_.begin(), mem_.end(), 0xFF);
        used_ = 0;
        ++erased_;
        if (silent_) return;
        std::string fault;
        fault.swap(nextFault_);
        if (fault == "drop") return;
        Emit(Frame("PMTK001,182,6,3"), static_cast<long long>(o_.eraseMs) * 1000);
        return;
    }
    if (StartsWith(body, "PMTK182,1,") && f.size() >= 4) {
        if (f[2] == "2") fmt_ = f[3];
        else if (f[2] == "3") rate_ = f[3];
        else if (f[2] == "4") dist_ = f[3];
        else if (f[2] == "5") spd_ = f[3];
        else if (f[2] == "6") method_ = f[3];
        return Respond({"PMTK001,182,1,3"});
    }
    if (StartsWith(body, "PMTK300,") && f.size() >= 2) {
        fix_ = f[1];
        return Respond({"PMTK001,300,3"});
    }
    if (f.size() >= 2) {
        if (StartsWith(body, "PMTK301,")) dgps_ = f[1];
        else if (StartsWith(body, "PMTK313,")) sbas_ = f[1];
        else if (StartsWith(body, "PMTK330,")) datum_ = f[1];
        else if (StartsWith(body, "PMTK314,")) nmeaOut_ = body.substr(8);
    }
    for (const char* c : {"PMTK301,", "PMTK313,", "PMTK330,", "PMTK314,"})
        if (StartsWith(body, c)) return Respond({"PMTK001," + body.substr(4, 3) + ",3"});
    if (StartsWith(body, "PMTK182,7,") && f.size() >= 4) {
        const unsigned addr = std::stoul(f[2], nullptr, 16);
        const unsigned len = std::stoul(f[3], nullptr, 16);
        if (len > 256 * 1024 && addr < MemSize && !silent_ &&
            (nextFault_.empty() || nextFault_ == "memdrop" || nextFault_ == "dropline" || nextFault_ == "badline")) {
            // A large read streams: its lines are made as they go out.
            std::string fault;
            fault.swap(nextFault_);
            if (fault == "memdrop") return;
            Job j;
            j.read = true;
            j.addr = j.next = addr;
            j.end = addr + std::min<unsigned>(len, MemSize - addr);
            j.fault = fault;
            j.faultArg = faultArg_;
            jobs_.push_back(std::move(j));
            return;
        }
        std::vector<std::string> lines;
        ReadMemory(addr, len, lines);
        lines.push_back("PMTK001,182,7,3");
        if (AtRead(addr, len, lines, {})) return;
        return Respond(std::move(lines));
    }
    if (StartsWith(body, "PTSI870,7,") && f.size() >= 4 && o_.model == Model::QK3Raw) {
        const unsigned long addr = std::stoul(f[2], nullptr, 10);
        const unsigned long len = std::stoul(f[3], nullptr, 10);
        if (addr + len > MemSize) return;
        std::string raw = "$" + Fmt("%llX", addr) + ",";
        raw.append(reinterpret_cast<const char*>(mem_.data() + addr), len);
        raw += "\r\n";
        if (AtRead(unsigned(addr), unsigned(len), {}, raw)) return;
        return Respond({}, raw);
    }
    // Anything else goes unanswered, as the logger does.
}

void Logger::OnInput(const char* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const char c = data[i];
        if (c == '$') {
            if (lastOutEndUs_ >= 0 && out_.empty() && later_.empty() && jobs_.empty()) {
                const double us = double(NowUs() - lastOutEndUs_);
                std::lock_guard<std::mutex> lock(statsMx_);
                ++stats_.turnarounds;
                stats_.turnaroundSumUs += us;
                stats_.turnaroundMaxUs = std::max(stats_.turnaroundMaxUs, us);
            }
            lastOutEndUs_ = -1;
            inLine_ = "$";
            inLineActive_ = true;
        } else if (c == '\r' || c == '\n') {
            if (!inLineActive_) continue;
            inLineActive_ = false;
            const size_t star = inLine_.rfind('*');
            if (star == std::string::npos || star + 3 != inLine_.size()) continue;
            const std::string body = inLine_.substr(1, star - 1);
            unsigned sum = 0;
            for (unsigned char b : body) sum ^= b;
            if (inLine_.substr(star + 1) != Hex2(sum)) continue;
            // At another line speed the logger would see only noise.
            if (!SpeedMatches()) continue;
            {
                std::lock_guard<std::mutex> lock(statsMx_);
                ++stats_.requests;
            }
            if (!StartsWith(body, "PMTK182,7,") && !StartsWith(body, "PTSI870,7,") && received_.size() < 10000)
                received_.push_back(body);
            OnRequest(body);
        } else if (inLineActive_ && inLine_.size() < 4096) {
            inLine_ += c;
        }
    }
}

std::string Logger::Nmea() {
    return Frame("GPRMC,020000.000,A,3450.400,N,13632.400,E,0.0,0.0,140523,,,A");
}

void Logger::Flush() {
    TopUp();
    const long long now = NowUs();
    for (size_t i = 0; i < later_.size();) {
        if (later_[i].atUs <= now) {
            Emit(std::move(later_[i].bytes));
            later_.erase(later_.begin() + long(i));
        } else {
            ++i;
        }
    }
    if (o_.nmeaHz > 0 && now >= nextNmeaUs_) {
        if (!silent_ && out_.size() < 65536) Emit(Nmea());
        nextNmeaUs_ = now + 1000000 / o_.nmeaHz;
    }
    if (out_.empty()) return;
    size_t allowed = out_.size();
    if (o_.pace) {
        const long long due = (now - paceStartUs_) * (o_.baud / 10) / 1000000 + 1;
        allowed = size_t(std::max(0LL, std::min<long long>(due - paceSent_, (long long)out_.size())));
    }
    if (allowed == 0) return;
    if (now < muteUntilUs_) {
        // Lost on the way: gone at the rate it would have gone out.
        out_.consume(allowed);
        paceSent_ += static_cast<long long>(allowed);
        return;
    }
    const ssize_t w = ::write(master_, out_.data(), allowed);
    if (w > 0) {
        out_.consume(size_t(w));
        paceSent_ += w;
        if (out_.empty() && jobs_.empty()) lastOutEndUs_ = NowUs();
    }
}

long long Logger::NextWakeUs() const {
    long long wake = -1;
    auto take = [&](long long t) { if (wake < 0 || t < wake) wake = t; };
    for (const Pending& p : later_) take(p.atUs);
    if (o_.nmeaHz > 0) take(nextNmeaUs_);
    if (out_.empty() && !jobs_.empty()) take(NowUs());
    if (!out_.empty() && o_.pace) {
        const long long rate = o_.baud / 10;
        take(paceStartUs_ + (paceSent_ + std::min<long long>(64, (long long)out_.size())) * 1000000 / rate);
    }
    return wake;
}

void Logger::Run(int controlFd, int replyFd) {
    std::string ctl;
    nextNmeaUs_ = NowUs();
    for (;;) {
        Flush();
        pollfd fds[3] = {{stopPipe_[0], POLLIN, 0}, {master_, POLLIN, 0}, {controlFd, POLLIN, 0}};
        if ((!out_.empty() || !jobs_.empty()) && !o_.pace) fds[1].events |= POLLOUT;
        const long long wake = NextWakeUs();
        int timeout = -1;
        if (wake >= 0) timeout = int(std::max(0LL, (wake - NowUs() + 999) / 1000));
        if (!out_.empty() && o_.pace && timeout > 1) timeout = 1;
        const int r = ::poll(fds, controlFd >= 0 ? 3 : 2, timeout);
        if (r < 0 && errno != EINTR) return;
        if (fds[0].revents) return;
        if (controlFd >= 0 && (fds[2].revents & (POLLIN | POLLHUP))) {
            char buf[512];
            const ssize_t n = ::read(controlFd, buf, sizeof buf);
            if (n <= 0) {
                controlFd = -1;   // no more control: serve until stopped
                continue;
            }
            ctl.append(buf, size_t(n));
            size_t nl;
            while ((nl = ctl.find('\n')) != std::string::npos) {
                const std::string reply = Control(ctl.substr(0, nl)) + "\n";
                ctl.erase(0, nl + 1);
                if (replyFd >= 0) (void)!::write(replyFd, reply.data(), reply.size());
            }
            continue;   // control lines come before the port's bytes
        }
        if (fds[1].revents & POLLIN) {
            char buf[8192];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) OnInput(buf, size_t(n));
        }
    }
}

} // namespace velsim
