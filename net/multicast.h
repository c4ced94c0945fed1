// The UDP multicast transport: one group per channel, a sending and a
// listening socket, draining every waiting datagram each frame into the
// simulation's dispatcher, and the send statistic printed at exit.
#pragma once

#include <cstdint>

struct session;
struct world;

extern uint32_t OUR_MULTICAST_ADDR;  // network byte order
extern uint16_t OUR_MULTICAST_PORT;  // network byte order
extern int send_skt;
extern int lskt;
extern float total_send_time;
extern int sent_bytes;     // of the datagrams that went out
extern int sends;
extern int failed_sends;   // datagrams the system refused to send


// Packs four octets into an address laid out a, b, c, d in memory.
uint32_t ip_quad(uint8_t a, uint8_t b, uint8_t c, uint8_t d);
// The group address (memory order) and port (host order) of a channel.
uint32_t channel_group(int n);
uint16_t channel_port(int n);


int init_ipmulticast(int n);
void close_ipmulticast();
// Returns len once the datagram went out, -1 when it could not be sent.
// The simulation's datagram sender while the channel is open.
int send_multicast(const void* buf, int len);
// Hands the waiting datagrams to the dispatcher, at most
// MAX_DATAGRAMS_PER_FRAME of them or MAX_RECEIVE_SECONDS of handling a
// frame; the rest wait for the next frame. Stops after a start request.
void check_for_messages(session& s, world* w);
constexpr int MAX_DATAGRAMS_PER_FRAME = 256;
constexpr double MAX_RECEIVE_SECONDS = 0.008;
extern long datagrams_received;
extern long frames_cut_short;   // frames that left datagrams waiting
extern uint32_t datagrams_dropped;  // by the system, for want of room in the socket
// The send statistic over the `seconds` the program ran.
void print_network_stats(float seconds);
