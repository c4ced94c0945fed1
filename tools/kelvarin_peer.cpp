// A scripted protocol peer. It joins a channel's multicast group, prints
// every datagram it hears as one line on standard output, and takes
// commands on standard input, one per line:
//   join N                   move to channel N
//   helo NAME TEAM NUMB      send one presence message
//   autohelo NAME TEAM NUMB  send it every 0.2 s from now on ("noauto" stops)
//   heloflood N PREFIX TEAM NUMB RATE
//                            N presence messages under the names PREFIX0,
//                            PREFIX1, ... at RATE a second, then "FLOODED <n>"
//   chat TEXT                send a chat line
//   strt SEED                send the start command with that seed
//   raw HEX                  send arbitrary bytes
//   seedchannel SEED         print the game channel that seed selects
//   cmnd SUB P1 P2 P3 P4     send a CMND; each parameter is an integer
//                            (decimal or 0x hex, sent bit for bit) or a
//                            float (written with '.', or nan / inf / -inf)
//   uupd COUNT FIRST N V [CLAIM]
//                            one UUPD batch of COUNT records for the ids
//                            FIRST, FIRST+1, ..., each with N parameters of
//                            value V; CLAIM, when given, is written as the
//                            record count instead of COUNT
//   flood N LEN RATE         N chat lines of LEN bytes each at RATE lines a
//                            second, then "FLOODED <n>"
//   repeat K COMMAND...      run one of these commands K times
//   seq N SUB FIRST P2 P3 P4 N CMNDs whose first parameter runs FIRST,
//                            FIRST+1, ...
//   blast SECONDS HEX        send those bytes as fast as the socket takes
//                            them for SECONDS, then "BLASTED <n>"
//   mute SENDER              print no datagram from SENDER (%8.8X as shown);
//                            "mute" alone prints them all again
//   ping                     print "PONG" (every earlier command is done)
//   quit
// Output lines: "RECV <seconds> <sender %8.8X> <len> <hex bytes>",
// "CHANNEL <n>", "JOINED <n>", "FLOODED <n>", "BLASTED <n>", "PONG",
// "ERROR <text>".
#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#include "platform/random.h"
#include "net/multicast.h"
#include "sim/wire.h"

static int rx = -1, tx = -1;
static int channel = 0;
static uint32_t muted = 0;  // a sender whose datagrams are not printed (0: none)

static double now()
{
    timeval tv;
    gettimeofday(&tv, nullptr);
    return tv.tv_sec + tv.tv_usec * 1e-6;
}

static bool join(int n)
{
    if (rx >= 0)
        close(rx);
    if (tx >= 0)
        close(tx);
    channel = n;
    rx = socket(AF_INET, SOCK_DGRAM, 0);
    tx = socket(AF_INET, SOCK_DGRAM, 0);
    int one = 1;
    setsockopt(rx, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(channel_port(n));
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(rx, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
        printf("ERROR bind %s\n", strerror(errno));
        return false;
    }
    ip_mreq m{};
    m.imr_multiaddr.s_addr = channel_group(n);
    m.imr_interface.s_addr = htonl(INADDR_ANY);
    if (setsockopt(rx, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) < 0) {
        printf("ERROR membership %s\n", strerror(errno));
        return false;
    }
    int ttl = 5;
    setsockopt(tx, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    unsigned char loop = 0;
    setsockopt(tx, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    printf("JOINED %d\n", n);
    return true;
}

static void send_bytes(const std::vector<unsigned char>& b)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(channel_port(channel));
    a.sin_addr.s_addr = channel_group(channel);
    if (sendto(tx, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0)
        printf("ERROR sendto %s\n", strerror(errno));
}

static std::vector<unsigned char> helo(const std::string& name, int team, int numb)
{
    std::vector<unsigned char> m;
    put_tag(m, "HELO");
    unsigned char field[32] = {};
    memcpy(field, name.data(), name.size() < 32 ? name.size() : 32);
    m.insert(m.end(), field, field + 32);
    put_i32(m, team);
    put_i32(m, numb);
    return m;
}

// One command parameter: a float when written like one, else an integer
// whose 32 bits are sent as they are.
static bool parse_slot(const std::string& s, uint32_t& out);

static std::vector<unsigned char> hex_bytes(const std::string& hex)
{
    std::vector<unsigned char> m;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        m.push_back(static_cast<unsigned char>(strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return m;
}

static bool parse_slot(const std::string& s, uint32_t& out)
{
    if (s.empty())
        return false;
    const bool is_float = s.find('.') != std::string::npos || s == "nan" || s == "inf" || s == "-inf";
    char* end = nullptr;
    if (is_float) {
        float f = strtof(s.c_str(), &end);
        memcpy(&out, &f, 4);
    } else {
        long long v = strtoll(s.c_str(), &end, 0);
        out = static_cast<uint32_t>(v);
    }
    return end && *end == 0;
}

static void sleep_seconds(double s)
{
    if (s <= 0)
        return;
    timespec ts;
    ts.tv_sec = static_cast<time_t>(s);
    ts.tv_nsec = static_cast<long>((s - static_cast<double>(ts.tv_sec)) * 1e9);
    nanosleep(&ts, nullptr);
}

static void run_command(const std::string& line, std::vector<unsigned char>& auto_helo, double& next_helo);

// Runs one input line; returns false for "quit".
static bool run_line(const std::string& line, std::vector<unsigned char>& auto_helo, double& next_helo)
{
    char word[32] = {};
    if (sscanf(line.c_str(), "%31s", word) != 1)
        return true;
    if (std::string(word) == "quit")
        return false;
    run_command(line, auto_helo, next_helo);
    return true;
}

static void run_command(const std::string& line, std::vector<unsigned char>& auto_helo, double& next_helo)
{
    char word[32] = {}, name[64] = {};
    int a = 0, b = 0;
    sscanf(line.c_str(), "%31s", word);
    std::string w = word;
    if (w == "join" && sscanf(line.c_str(), "%*s %d", &a) == 1)
        join(a);
    else if ((w == "helo" || w == "autohelo") && sscanf(line.c_str(), "%*s %63s %d %d", name, &a, &b) == 3) {
        if (w == "helo")
            send_bytes(helo(name, a, b));
        else {
            auto_helo = helo(name, a, b);
            next_helo = 0;
        }
    } else if (w == "noauto")
        auto_helo.clear();
    else if (w == "chat") {
        std::vector<unsigned char> m;
        put_tag(m, "CHAT");
        std::string text = line.size() > 5 ? line.substr(5) : "";
        m.insert(m.end(), text.begin(), text.end());
        send_bytes(m);
    } else if (w == "strt" && sscanf(line.c_str(), "%*s %d", &a) == 1) {
        std::vector<unsigned char> m;
        put_tag(m, "CMND");
        put_tag(m, "STRT");
        put_i32(m, a);
        put_u32(m, 0);
        put_u32(m, 0);
        put_u32(m, 0);
        send_bytes(m);
    } else if (w == "raw") {
        send_bytes(hex_bytes(line.size() > 4 ? line.substr(4) : ""));
    } else if (w == "cmnd") {
        char sub[8] = {}, s[4][48] = {};
        if (sscanf(line.c_str(), "%*s %7s %47s %47s %47s %47s", sub, s[0], s[1], s[2], s[3]) != 5 ||
            strlen(sub) != 4) {
            printf("ERROR cmnd needs a sub-tag and four parameters: %s\n", line.c_str());
            return;
        }
        std::vector<unsigned char> m;
        m.insert(m.end(), {'C', 'M', 'N', 'D'});
        m.insert(m.end(), sub, sub + 4);
        for (auto& slot : s) {
            uint32_t v = 0;
            if (!parse_slot(slot, v)) {
                printf("ERROR bad parameter %s\n", slot);
                return;
            }
            put_u32(m, v);
        }
        send_bytes(m);
    } else if (w == "uupd") {
        unsigned count = 0, n = 0, claim = 0;
        long long first = 0;
        char value[48] = {};
        int got = sscanf(line.c_str(), "%*s %u %lli %u %47s %u", &count, &first, &n, value, &claim);
        uint32_t bits = 0;
        if (got < 4 || !parse_slot(value, bits) || count > 4096 || n > 4096) {
            printf("ERROR uupd COUNT FIRST N V [CLAIM]: %s\n", line.c_str());
            return;
        }
        std::vector<unsigned char> m;
        put_tag(m, "UUPD");
        put_u32(m, got == 5 ? claim : count);
        for (unsigned i = 0; i < count; ++i) {
            put_u32(m, static_cast<uint32_t>(first + i));
            put_u32(m, n);
            for (unsigned k = 0; k < n; ++k)
                put_u32(m, bits);
        }
        send_bytes(m);
    } else if (w == "flood") {
        int n = 0, len = 0;
        double rate = 0;
        if (sscanf(line.c_str(), "%*s %d %d %lf", &n, &len, &rate) != 3 || n < 0 || len < 0 || len > 60000 ||
            rate <= 0) {
            printf("ERROR flood N LEN RATE: %s\n", line.c_str());
            return;
        }
        const double start = now();
        for (int i = 0; i < n; ++i) {
            std::vector<unsigned char> m;
            put_tag(m, "CHAT");
            char head[32];
            int h = snprintf(head, sizeof head, "flood line %d ", i);
            for (int k = 0; k < len; ++k)
                m.push_back(k < h ? static_cast<unsigned char>(head[k]) : static_cast<unsigned char>('a' + k % 26));
            send_bytes(m);
            // Presence goes on during a long flood, or the menu would
            // forget this sender after a few seconds.
            if (!auto_helo.empty() && now() >= next_helo) {
                send_bytes(auto_helo);
                next_helo = now() + 0.2;
            }
            sleep_seconds(start + (i + 1) / rate - now());
        }
        printf("FLOODED %d\n", n);
    } else if (w == "heloflood") {
        int n = 0;
        double rate = 0;
        if (sscanf(line.c_str(), "%*s %d %40s %d %d %lf", &n, name, &a, &b, &rate) != 5 || n < 0 || rate <= 0) {
            printf("ERROR heloflood N PREFIX TEAM NUMB RATE: %s\n", line.c_str());
            return;
        }
        const double start = now();
        for (int i = 0; i < n; ++i) {
            send_bytes(helo(std::string(name) + std::to_string(i), a, b));
            sleep_seconds(start + (i + 1) / rate - now());
        }
        printf("FLOODED %d\n", n);
    } else if (w == "repeat" && sscanf(line.c_str(), "%*s %d", &a) == 1) {
        std::istringstream in(line);
        std::string skip, rest;
        in >> skip >> skip;
        std::getline(in >> std::ws, rest);
        for (int i = 0; i < a && !rest.empty(); ++i)
            run_command(rest, auto_helo, next_helo);
    } else if (w == "seq") {
        int n = 0;
        char sub[8] = {}, s[4][48] = {};
        uint32_t slots[4] = {};
        bool ok = sscanf(line.c_str(), "%*s %d %7s %47s %47s %47s %47s", &n, sub, s[0], s[1], s[2], s[3]) == 6 &&
                  strlen(sub) == 4 && n >= 0;
        for (int i = 0; ok && i < 4; ++i)
            ok = parse_slot(s[i], slots[i]);
        if (!ok) {
            printf("ERROR seq N SUB FIRST P2 P3 P4: %s\n", line.c_str());
            return;
        }
        for (int i = 0; i < n; ++i) {
            std::vector<unsigned char> m;
            m.insert(m.end(), {'C', 'M', 'N', 'D'});
            m.insert(m.end(), sub, sub + 4);
            put_u32(m, slots[0] + static_cast<uint32_t>(i));
            for (int k = 1; k < 4; ++k)
                put_u32(m, slots[k]);
            send_bytes(m);
        }
    } else if (w == "blast") {
        double seconds = 0;
        char hex[4096] = {};
        if (sscanf(line.c_str(), "%*s %lf %4095s", &seconds, hex) != 2 || seconds <= 0 || seconds > 60) {
            printf("ERROR blast SECONDS HEX: %s\n", line.c_str());
            return;
        }
        const std::vector<unsigned char> m = hex_bytes(hex);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(channel_port(channel));
        a.sin_addr.s_addr = channel_group(channel);
        long sent = 0;
        const double end = now() + seconds;
        while (now() < end)
            for (int k = 0; k < 64; ++k)
                if (sendto(tx, m.data(), m.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a) >= 0)
                    ++sent;
        printf("BLASTED %ld\n", sent);
    } else if (w == "mute") {
        char who[16] = {};
        muted = sscanf(line.c_str(), "%*s %15s", who) == 1 ? static_cast<uint32_t>(strtoul(who, nullptr, 16)) : 0;
    } else if (w == "ping")
        printf("PONG\n");
    else if (w == "seedchannel" && sscanf(line.c_str(), "%*s %d", &a) == 1) {
        // A game's channel is the first draw of its seed's generator.
        rand_stream game;
        stream_srand(game, static_cast<unsigned>(a));
        printf("CHANNEL %d\n", stream_rand(game) % 10000);
    } else
        printf("ERROR unknown command: %s\n", line.c_str());
}

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!join(argc > 1 ? atoi(argv[1]) : 0))
        return 1;
    std::vector<unsigned char> auto_helo;
    double next_helo = 0;
    std::string pending;
    for (;;) {
        pollfd fds[2] = {{0, POLLIN, 0}, {rx, POLLIN, 0}};
        poll(fds, 2, 20);
        if (fds[1].revents & POLLIN) {
            unsigned char buf[2048];
            sockaddr_in from{};
            socklen_t fl = sizeof from;
            ssize_t r = recvfrom(rx, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
            if (r >= 0 && (!muted || from.sin_addr.s_addr != muted)) {
                std::string hex;
                char h[3];
                for (ssize_t i = 0; i < r; ++i) {
                    snprintf(h, sizeof h, "%02x", buf[i]);
                    hex += h;
                }
                printf("RECV %.3f %8.8X %d %s\n", now(), from.sin_addr.s_addr, static_cast<int>(r), hex.c_str());
            }
        }
        if (!auto_helo.empty() && now() >= next_helo) {
            send_bytes(auto_helo);
            next_helo = now() + 0.2;
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            char buf[4096];
            ssize_t r = read(0, buf, sizeof buf);
            if (r <= 0)
                return 0;
            pending.append(buf, static_cast<size_t>(r));
            size_t nl;
            while ((nl = pending.find('\n')) != std::string::npos) {
                std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                if (!run_line(line, auto_helo, next_helo))
                    return 0;
            }
        }
    }
}
