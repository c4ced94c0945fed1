#include "net/multicast.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/commands.h"
#include "sim/game.h"
#include "sim/messages.h"
#include "sim/message_table.h"
#include "sim/rights.h"
#include "sim/session.h"

uint32_t OUR_MULTICAST_ADDR = 0;
uint16_t OUR_MULTICAST_PORT = 0;
int send_skt = -1;
int lskt = -1;
float total_send_time = 0.0f;
int sent_bytes = 0;
int sends = 0;
int failed_sends = 0;
// Failed sends since a datagram last went out.
static int s_failing_run = 0;

static sockaddr_in addr;

static double now_seconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

uint32_t ip_quad(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    uint8_t octets[4] = {a, b, c, d};
    uint32_t v;
    memcpy(&v, octets, 4);
    return v;
}

uint32_t channel_group(int n)
{
    return ip_quad(225, static_cast<uint8_t>(n % 100 + 44), static_cast<uint8_t>(n % 198 + 44),
                   static_cast<uint8_t>(n % 147 + 44));
}

uint16_t channel_port(int n)
{
    return static_cast<uint16_t>(n + 9999);
}

void close_ipmulticast()
{
    if (lskt >= 0)
        close(lskt);
    if (send_skt >= 0)
        close(send_skt);
    lskt = -1;
    send_skt = -1;
    s_failing_run = 0;  // a failure on the next channel is reported afresh
}

static int fail(const char* what)
{
    perror(what);
    close_ipmulticast();
    return -1;
}

int init_ipmulticast(int n)
{
    OUR_MULTICAST_PORT = htons(channel_port(n));
    OUR_MULTICAST_ADDR = channel_group(n);

    send_skt = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (send_skt < 0)
        return fail("socket send_skt");
    lskt = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (lskt < 0)
        return fail("socket lskt");

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = OUR_MULTICAST_PORT;
    if (bind(lskt, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0)
        return fail("bind lskt");

    ip_mreq mreq{};
    mreq.imr_multiaddr.s_addr = OUR_MULTICAST_ADDR;
    mreq.imr_interface.s_addr = htonl(INADDR_ANY);
    if (setsockopt(lskt, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) < 0)
        return fail("setsockopt lskt add membership");

    int ttl = 5;
    if (setsockopt(send_skt, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) < 0)
        return fail("setsockopt send_skt multicast ttl");

    if (fcntl(lskt, F_SETFL, O_NONBLOCK) < 0)
        return fail("fcntl nonblock");
    // The system counts the datagrams it drops for want of room in the
    // socket's buffer and hands the count over with each datagram read.
    int one = 1;
    if (setsockopt(lskt, SOL_SOCKET, SO_RXQ_OVFL, &one, sizeof one) < 0)
        perror("setsockopt lskt SO_RXQ_OVFL");

    unsigned char loop = 0;
    if (setsockopt(send_skt, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) < 0)
        return fail("setsockopt send_skt multicast loop");
    return 0;
}

int send_multicast(const void* buf, int len)
{
    const double t0 = now_seconds();
    addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = OUR_MULTICAST_PORT;
    addr.sin_addr.s_addr = OUR_MULTICAST_ADDR;
    const ssize_t put =
        sendto(send_skt, buf, static_cast<size_t>(len), 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    total_send_time += static_cast<float>(now_seconds() - t0);
    // A datagram that did not go out is counted as failed, not as sent. Only
    // the first failure of a run is printed: a copy with no network (its
    // channel failed to open) would otherwise print a line for every one.
    if (put < 0) {
        if (s_failing_run++ == 0)
            perror("sendto");
        ++failed_sends;
        return -1;
    }
    s_failing_run = 0;
    sent_bytes += len;
    ++sends;
    return len;
}

long datagrams_received = 0;
long frames_cut_short = 0;
uint32_t datagrams_dropped = 0;
// What the last report line covered.
static long s_cut_reported = 0;
static uint32_t s_dropped_reported = 0;
static double s_reported_at = -1e9;

// At most every 5 s, one line when receiving fell behind since the last:
// frames that left datagrams waiting, datagrams the system dropped.
static void report_falling_behind(double now)
{
    if (now - s_reported_at < 5.0)
        return;
    const long cut = frames_cut_short - s_cut_reported;
    const uint32_t dropped = datagrams_dropped - s_dropped_reported;
    if (cut == 0 && dropped == 0)
        return;
    fprintf(stderr, "receiving: %ld frames left datagrams waiting (%d a frame at most), %u dropped for want of room\n",
            cut, MAX_DATAGRAMS_PER_FRAME, dropped);
    s_cut_reported = frames_cut_short;
    s_dropped_reported = datagrams_dropped;
    s_reported_at = now;
}

// One datagram into buf; its length (0 when none waits, -1 on an error),
// its sender, and the system's count of drops so far when it gives one.
static ssize_t receive_one(unsigned char* buf, uint32_t& sender)
{
    sockaddr_in from{};
    iovec io{buf, MAX_DATAGRAM};
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(uint32_t))];
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t r = recvmsg(lskt, &msg, 0);
    if (r < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL)
            memcpy(&datagrams_dropped, CMSG_DATA(c), sizeof datagrams_dropped);
    sender = from.sin_addr.s_addr;
    return r;
}

void check_for_messages(session& s, world* w)
{
    report_refusals(s);
    if (lskt < 0)
        return;  // no network since the last failed open
    const double start = now_seconds();
    for (int taken = 0;; ++taken) {
        // A flood must not stop the frame: past the frame's share the rest
        // waits in the socket for the next frame (what the socket cannot
        // hold the system drops, and counts).
        if (taken >= MAX_DATAGRAMS_PER_FRAME ||
            (taken % 16 == 0 && taken > 0 && now_seconds() - start > MAX_RECEIVE_SECONDS)) {
            ++frames_cut_short;
            break;
        }
        unsigned char buf[MAX_DATAGRAM + 1];
        uint32_t sender = 0;
        const ssize_t r = receive_one(buf, sender);
        if (r > 0) {
            ++datagrams_received;
            buf[r] = 0;
            client_message(s, w, buf, static_cast<int>(r), sender);
            // A start waits for the program to build the game's world; what
            // came after it is read in the game's next frame.
            if (start_requested(s))
                break;
            continue;
        }
        if (r < 0)
            perror("recvfrom failed");
        break;
    }
    report_falling_behind(start);
}

void print_network_stats(float seconds)
{
    printf("total send: %f, bytes: %d, num: %d\t\tavg bandwidth: %.2fk/sec\n", static_cast<double>(total_send_time),
           sent_bytes, sends, static_cast<double>(sent_bytes / seconds * 0.001f));
    if (failed_sends > 0)
        printf("datagrams not sent: %d\n", failed_sends);
    if (frames_cut_short > 0 || datagrams_dropped > 0)
        printf("datagrams received: %ld; frames whose receiving was cut short: %ld; dropped for want of room: %u\n",
               datagrams_received, frames_cut_short, datagrams_dropped);
}
