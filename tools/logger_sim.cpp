// The logger simulator as a program: serves one model on a pseudo-terminal
// whose slave is linked at --link, and takes fault requests on stdin (one a
// line, each answered on stdout): "fault drop|badsum|dup|late MS|truncate|
// partial|garbage|unsolicited" and, on the next memory answer,
// "memdrop|dropline K|badline K|rawtruncate", "every badsum N",
// "noack on|off", "silent", "talk", "requests", "stats", "state" (the
// logger's settings), "received" (sentences received since the last ask,
// memory reads left out), "quit"; "hangup" closes the port for good;
// and "at ADDR/LEN dup|late MS|odd [N]|short [N]" (the answer to one
// memory read, by its hexadecimal address and length), "mute MS" (output
// lost for MS ms).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <csignal>
#include <unistd.h>
#include "logger_sim/sim.h"

static velsim::Logger* running = nullptr;

static void OnSignal(int) {
    if (running) running->Stop();
}

static int Usage() {
    std::fprintf(stderr,
                 "usage: logger_sim --model qk4|qk3|qk3raw|887|860ed --link PATH [--image FILE]\n"
                 "                  [--baud N] [--pace] [--nmea-hz N] [--erase-ms N] [--used BYTES]\n");
    return 2;
}

int main(int argc, char** argv) {
    velsim::Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--pace") { o.pace = true; continue; }
        if (!(v = next())) return Usage();
        if (a == "--model") { if (!velsim::ParseModel(v, o.model)) return Usage(); }
        else if (a == "--link") o.link = v;
        else if (a == "--image") o.image = v;
        else if (a == "--baud") o.baud = std::atoi(v);
        else if (a == "--nmea-hz") o.nmeaHz = std::atoi(v);
        else if (a == "--erase-ms") o.eraseMs = std::atoi(v);
        else if (a == "--used") o.used = std::atoll(v);
        else return Usage();
    }
    if (o.link.empty()) return Usage();
    velsim::Logger sim(o);
    std::string error;
    if (!sim.Open(&error)) {
        std::fprintf(stderr, "logger_sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("ready %s %s\n", o.link.c_str(), sim.SlavePath().c_str());
    std::fflush(stdout);
    running = &sim;
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    sim.Run(STDIN_FILENO, STDOUT_FILENO);
    return 0;
}
