// Network load of one copy in play: the datagrams and bytes per second it
// sends when it leads a team of 16, 100 and 1000 moving units of its own,
// counted with the session's send observer over 10 s of game time (200
// status sends at 20 per second), set against the rule's own arithmetic:
// every unit's record is 8 + 4n bytes, records are batched into datagrams
// of at most STATE_BATCH_LIMIT bytes, and the status goes out 20 times a
// second.
//
//   build/bench/net_load 2>/dev/null
// (without a network nothing leaves the process: the session has no sender,
// and the datagrams are only counted; the counts by tag go to stderr.)
// Figures only, never a test.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "crowd_scene.h"
#include "sim/messages.h"
#include "sim/world.h"

namespace {

struct tally {
    long datagrams = 0, bytes = 0, largest = 0;
    long batches = 0, batch_bytes = 0, records = 0, record_bytes = 0;
    std::map<std::string, long> by_tag;
};
tally g_tally;

void count_send(const unsigned char* buf, int len)
{
    ++g_tally.datagrams;
    g_tally.bytes += len;
    if (len > g_tally.largest)
        g_tally.largest = len;
    std::string tag(reinterpret_cast<const char*>(buf), len >= 4 ? 4 : static_cast<size_t>(len));
    if (tag == "CMND" && len >= 8)
        tag.assign(reinterpret_cast<const char*>(buf), 8);
    ++g_tally.by_tag[tag];
    if (tag == "UUPD" && len >= 8) {
        ++g_tally.batches;
        g_tally.batch_bytes += len;
        // Records: id, count, count floats.
        int pos = 8;
        while (pos + 8 <= len) {
            uint32_t n;
            std::memcpy(&n, buf + pos + 4, 4);
            const int rec = 8 + 4 * static_cast<int>(n);
            ++g_tally.records;
            g_tally.record_bytes += rec;
            pos += rec;
        }
    }
}

void measure(int own_units)
{
    // The scene counts this copy's figure as one of the units.
    crowd_scene sc;
    build_crowd_scene(sc, own_units - 1, 9);
    world& w = *sc.w;
    constexpr int frames = 400;  // 10 s of game time at 40 frames a second
    constexpr float dt = 0.025f;
    const float seconds = frames * dt;
    g_tally = tally{};
    sc.s.link.observer = count_send;
    reset_send_timer(w);
    for (int f = 0; f < frames; ++f) {
        w.time += dt;
        simulate_units(w, dt);
        send_network_status(w);
    }
    sc.s.link.observer = nullptr;
    const double rec_avg = g_tally.records ? static_cast<double>(g_tally.record_bytes) / g_tally.records : 0.0;
    // The rule: every unit reported 20 times a second in records of its
    // size, packed into datagrams of at most STATE_BATCH_LIMIT bytes with
    // an 8-byte batch head.
    const int per_batch = rec_avg > 0 ? static_cast<int>((STATE_BATCH_LIMIT - 8) / rec_avg) : 1;
    const double rule_datagrams = 20.0 * ((own_units + per_batch - 1) / per_batch);
    const double rule_bytes = 20.0 * (own_units * rec_avg + 8.0 * ((own_units + per_batch - 1) / per_batch));
    printf("| %5d | %9.1f | %10.0f | %6.1f | %7.1f | %7ld | %9.1f | %10.0f |\n", own_units,
           g_tally.datagrams / seconds, g_tally.bytes / seconds, g_tally.records / seconds / own_units, rec_avg,
           g_tally.largest, rule_datagrams, rule_bytes);
    for (const auto& [tag, n] : g_tally.by_tag)
        fprintf(stderr, "  %d units: %s %ld\n", own_units, tag.c_str(), n);
}

} // namespace

int main()
{
    printf("| units | datagrams/s | bytes/s | reports/unit/s | record bytes | largest | rule datagrams/s | rule bytes/s |\n");
    printf("|------:|------------:|--------:|---------------:|-------------:|--------:|-----------------:|-------------:|\n");
    for (int n : {16, 100, 1000})
        measure(n);
    return 0;
}
