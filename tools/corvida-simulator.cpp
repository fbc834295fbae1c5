// corvida-simulator: plays a record (or the ECG model) as the recorder sends it: 4-byte packets at
// 800 per second, with the recorder's five-byte 0xFF fillers between them, onto a new
// pseudo-terminal or to stdout.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "record/RecordFile.h"
#include "tools/SyntheticEcg.h"

namespace {

const char* kUsage =
    "usage: corvida-simulator [options] [FILE.cv]\n"
    "Without FILE the ECG model is played (--preset, default normal).\n"
    "  --link PATH        make PATH a link to the pseudo-terminal (e.g. <dir>/COM3)\n"
    "  --stdout           write the stream to stdout instead of a pseudo-terminal\n"
    "  --speed X          X times real time (1); 0 = as fast as possible\n"
    "  --seconds S        stop after S seconds of signal (default: the record once)\n"
    "  --loop             repeat the record without end\n"
    "  --filler-every N   a filler after every N packets (37; 0 = none)\n"
    "  --filler-length L  bytes per filler, 4 or 5 (5)\n"
    "  --wait             wait for a line on stdin before sending\n"
    "  --linger MS        keep the pseudo-terminal open this long after the end (1000)\n"
    "  --preset NAME      model preset when no FILE is given\n"
    "  --raw              send FILE's bytes as they are, whatever they hold, four bytes\n"
    "                     taken as one packet and no fillers (line noise, another device)\n"
    "The pseudo-terminal's path is printed as the first line of stdout.\n";

volatile sig_atomic_t gStop = 0;

void OnSignal(int)
{
    gStop = 1;
}

bool WriteAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR && !gStop)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void SleepUntil(const timespec& deadline)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR && !gStop) {
    }
}

timespec After(const timespec& start, double seconds)
{
    timespec t = start;
    const long long ns = static_cast<long long>(seconds * 1e9);
    t.tv_sec += static_cast<time_t>(ns / 1000000000LL);
    t.tv_nsec += static_cast<long>(ns % 1000000000LL);
    if (t.tv_nsec >= 1000000000L) {
        t.tv_nsec -= 1000000000L;
        ++t.tv_sec;
    }
    return t;
}

// Opens a pseudo-terminal in raw mode. The simulator keeps its own handle on the terminal side,
// so the stream survives the reader closing and reopening the port.
int OpenPty(std::string& path, int& keepOpen)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return -1;
    const char* name = ptsname(master);
    if (!name)
        return -1;
    path = name;
    keepOpen = ::open(name, O_RDWR | O_NOCTTY);
    if (keepOpen < 0)
        return -1;
    termios raw{};
    tcgetattr(keepOpen, &raw);
    cfmakeraw(&raw);
    cfsetispeed(&raw, B115200);
    cfsetospeed(&raw, B115200);
    tcsetattr(keepOpen, TCSANOW, &raw);
    return master;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string file, link, preset = "normal";
    bool toStdout = false, loop = false, wait = false, raw = false;
    double speed = 1, seconds = -1;
    int fillerEvery = 37, fillerLength = 5, lingerMs = 1000;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "corvida-simulator: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--link") link = value("--link");
        else if (a == "--stdout") toStdout = true;
        else if (a == "--speed") speed = std::atof(value("--speed"));
        else if (a == "--seconds") seconds = std::atof(value("--seconds"));
        else if (a == "--loop") loop = true;
        else if (a == "--filler-every") fillerEvery = std::atoi(value("--filler-every"));
        else if (a == "--filler-length") fillerLength = std::atoi(value("--filler-length"));
        else if (a == "--wait") wait = true;
        else if (a == "--linger") lingerMs = std::atoi(value("--linger"));
        else if (a == "--preset") preset = value("--preset");
        else if (a == "--raw") raw = true;
        else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "corvida-simulator: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        } else file = a;
    }
    if (speed < 0 || fillerEvery < 0 || (fillerLength != 4 && fillerLength != 5)) {
        std::fprintf(stderr, "corvida-simulator: bad option value\n");
        return 2;
    }

    std::vector<DevicePacket> packets;
    if (raw) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        packets.resize(bytes.size() / kPacketBytes);
        std::memcpy(packets.data(), bytes.data(), packets.size() * kPacketBytes);
        if (packets.empty()) {
            std::fprintf(stderr, "corvida-simulator: %s holds no four bytes\n", file.c_str());
            return 1;
        }
        fillerEvery = 0;
    } else if (!file.empty()) {
        auto read = ReadRecordPackets(file, INT32_MAX);
        if (!read) {
            std::fprintf(stderr, "corvida-simulator: cannot read %s\n", file.c_str());
            return 1;
        }
        if (read->empty()) {
            std::fprintf(stderr, "corvida-simulator: %s holds no whole second\n", file.c_str());
            return 1;
        }
        packets = std::move(*read);
    } else {
        EcgParameters p;
        if (!EcgPreset(preset, p)) {
            std::fprintf(stderr, "corvida-simulator: unknown preset %s\n", preset.c_str());
            return 2;
        }
        packets = SynthesizeRecord(p);
    }
    const uint64_t total = seconds >= 0 ? static_cast<uint64_t>(seconds * kPacketsPerSecond)
                           : loop       ? UINT64_MAX
                                        : packets.size();

    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);
    signal(SIGPIPE, SIG_IGN);

    int out = STDOUT_FILENO, keepOpen = -1;
    if (!toStdout) {
        std::string path;
        out = OpenPty(path, keepOpen);
        if (out < 0) {
            std::fprintf(stderr, "corvida-simulator: no pseudo-terminal: %s\n", std::strerror(errno));
            return 1;
        }
        if (!link.empty()) {
            // Only an old link is replaced; anything else at that path is left alone.
            std::error_code error;
            if (std::filesystem::is_symlink(link, error))
                std::filesystem::remove(link, error);
            std::filesystem::create_symlink(path, link, error);
            if (error) {
                std::fprintf(stderr, "corvida-simulator: cannot link %s: %s\n", link.c_str(),
                             error.message().c_str());
                return 1;
            }
        }
        std::printf("%s\n", path.c_str());
        std::fflush(stdout);
    }
    if (wait) {
        char line[64];
        // End of input counts as the go signal too.
        (void)!std::fgets(line, sizeof line, stdin);
    }

    // Packets go out in slices of 10 ms (8 packets) on a fixed timetable, so the rate holds over
    // hours without drift.
    constexpr int kSlicePackets = 8;
    std::vector<uint8_t> slice;
    slice.reserve(kSlicePackets * (kPacketBytes + 5));
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    uint64_t sent = 0;
    uint64_t sinceFiller = 0;
    bool ok = true;
    while (sent < total && !gStop && ok) {
        slice.clear();
        for (int k = 0; k < kSlicePackets && sent < total; ++k, ++sent) {
            const DevicePacket& p = packets[sent % packets.size()];
            slice.insert(slice.end(), p.begin(), p.end());
            if (fillerEvery > 0 && ++sinceFiller == static_cast<uint64_t>(fillerEvery)) {
                sinceFiller = 0;
                slice.insert(slice.end(), static_cast<size_t>(fillerLength), kFillerByte);
            }
        }
        ok = WriteAll(out, slice.data(), slice.size());
        if (speed > 0)
            SleepUntil(After(start, static_cast<double>(sent) / (kPacketsPerSecond * speed)));
    }
    if (!toStdout) {
        // Let the reader drain the terminal before it hangs up.
        tcdrain(out);
        timespec end{};
        clock_gettime(CLOCK_MONOTONIC, &end);
        SleepUntil(After(end, lingerMs / 1000.0));
        std::error_code error;
        if (!link.empty() && std::filesystem::is_symlink(link, error)
            && std::filesystem::read_symlink(link, error) == ptsname(out))
            std::filesystem::remove(link, error);
        ::close(keepOpen);
        ::close(out);
    }
    std::fprintf(stderr, "corvida-simulator: %llu packets sent\n",
                 static_cast<unsigned long long>(sent));
    return ok ? 0 : 1;
}
