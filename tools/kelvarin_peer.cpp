// A scripted protocol peer. It joins a channel's multicast group, prints
// every datagram it hears as one line on standard output, and takes
// commands on standard input, one per line:
//   join N                   move to channel N
//   helo NAME TEAM NUMB      send one presence message
//   autohelo NAME TEAM NUMB  send it every 0.2 s from now on ("noauto" stops)
//   chat TEXT                send a chat line
//   strt SEED                send the start command with that seed
//   raw HEX                  send arbitrary bytes
//   seedchannel SEED         print the game channel that seed selects
//   quit
// Output lines: "RECV <seconds> <sender %8.8X> <len> <hex bytes>",
// "CHANNEL <n>", "JOINED <n>", "ERROR <text>".
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

#include "core/random.h"
#include "net/multicast.h"
#include "net/wire.h"

static int rx = -1, tx = -1;
static int channel = 0;

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
            if (r >= 0) {
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
                char word[32] = {}, name[64] = {};
                int a = 0, b = 0;
                if (sscanf(line.c_str(), "%31s", word) != 1)
                    continue;
                std::string w = word;
                if (w == "quit")
                    return 0;
                if (w == "join" && sscanf(line.c_str(), "%*s %d", &a) == 1)
                    join(a);
                else if ((w == "helo" || w == "autohelo") &&
                         sscanf(line.c_str(), "%*s %63s %d %d", name, &a, &b) == 3) {
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
                    std::vector<unsigned char> m;
                    std::string hex = line.size() > 4 ? line.substr(4) : "";
                    for (size_t i = 0; i + 1 < hex.size(); i += 2)
                        m.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
                    send_bytes(m);
                } else if (w == "seedchannel" && sscanf(line.c_str(), "%*s %d", &a) == 1) {
                    game_srand(static_cast<unsigned>(a));
                    printf("CHANNEL %d\n", game_rand() % 10000);
                } else
                    printf("ERROR unknown command: %s\n", line.c_str());
            }
        }
    }
}
