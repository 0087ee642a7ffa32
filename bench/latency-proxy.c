/* A TCP forwarder on 127.0.0.1 that behaves like a link with a round trip of RTT milliseconds:
 * every chunk read from one side reaches the other side half a round trip later, in order, and a
 * new connection carries nothing for one round trip after it is accepted (its handshake), so its
 * first byte arrives a round trip and a half after the client connected. It reads no HTTP or TLS:
 * secure connections pass straight through. Bandwidth is not limited.
 *
 * It stops after SECONDS (default 900) or on SIGTERM / SIGINT, and then prints
 *   connections N up BYTES down BYTES
 * (connections accepted, bytes from clients to the server and back) on standard output.
 *
 * Usage: latency-proxy LISTEN_PORT TARGET_PORT RTT_MS [SECONDS]
 * Build: cc -O2 -o latency-proxy bench/latency-proxy.c
 */
#define _GNU_SOURCE /* ppoll */
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

enum { MaxConnections = 2000, ReadSize = 65536, QueueCap = 4 << 20 };

/* Bytes on their way from one side to the other, due at a time; eof marks the sender's end. */
struct Chunk {
    double due;
    size_t size, sent;
    int eof;
    struct Chunk* next;
    char data[];
};

/* One direction of a connection. */
struct Pipe {
    int from, to;
    struct Chunk *head, *tail;
    size_t queued;
    int readEnded; /* the sender's end has been read (and queued) */
    int done;      /* ... and passed on as a shutdown */
};

struct Connection {
    double openAt; /* the end of the simulated handshake */
    struct Pipe up, down;
    int dead;
};

static volatile sig_atomic_t g_stop = 0;
static double g_half;      /* half a round trip, seconds */
static double g_handshake; /* a round trip, seconds */
static long long g_accepted, g_upBytes, g_downBytes;

static void OnSignal(int signal) {
    (void)signal;
    g_stop = 1;
}

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static void NonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

static struct sockaddr_in Loopback(int port) {
    struct sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons((unsigned short)port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

static void FreeChunks(struct Pipe* pipe) {
    while (pipe->head != NULL) {
        struct Chunk* next = pipe->head->next;
        free(pipe->head);
        pipe->head = next;
    }
    pipe->tail = NULL;
    pipe->queued = 0;
}

static void Kill(struct Connection* c) {
    if (c->dead) return;
    c->dead = 1;
    close(c->up.from);
    close(c->up.to);
    FreeChunks(&c->up);
    FreeChunks(&c->down);
}

static void Queue(struct Pipe* pipe, const char* bytes, size_t size, int eof, double due) {
    struct Chunk* chunk = malloc(sizeof *chunk + size);
    if (chunk == NULL) {
        perror("latency-proxy: malloc");
        exit(1);
    }
    chunk->due = due;
    chunk->size = size;
    chunk->sent = 0;
    chunk->eof = eof;
    chunk->next = NULL;
    memcpy(chunk->data, bytes, size);
    if (pipe->tail != NULL)
        pipe->tail->next = chunk;
    else
        pipe->head = chunk;
    pipe->tail = chunk;
    pipe->queued += size;
}

/* Reads what the sender has; false when the connection must end. */
static int ReadSide(struct Connection* c, struct Pipe* pipe, long long* counter, double now) {
    static char buffer[ReadSize];
    ssize_t n = recv(pipe->from, buffer, sizeof buffer, 0);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    double due = (now > c->openAt ? now : c->openAt) + g_half;
    if (n == 0) {
        pipe->readEnded = 1;
        Queue(pipe, NULL, 0, 1, due);
        return 1;
    }
    *counter += n;
    Queue(pipe, buffer, (size_t)n, 0, due);
    return 1;
}

/* Passes on the chunks that are due; false when the connection must end. */
static int WriteSide(struct Pipe* pipe, double now) {
    while (pipe->head != NULL && pipe->head->due <= now) {
        struct Chunk* chunk = pipe->head;
        if (chunk->eof) {
            shutdown(pipe->to, SHUT_WR);
            pipe->done = 1;
        } else {
            while (chunk->sent < chunk->size) {
                ssize_t n = send(pipe->to, chunk->data + chunk->sent, chunk->size - chunk->sent,
                                 MSG_NOSIGNAL);
                if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
                chunk->sent += (size_t)n;
            }
            pipe->queued -= chunk->size;
        }
        pipe->head = chunk->next;
        if (pipe->head == NULL) pipe->tail = NULL;
        free(chunk);
    }
    return 1;
}

static int Accept(int listener, int target, struct Connection* connections, int* count,
                  double now) {
    int client = accept(listener, NULL, NULL);
    if (client < 0) return 0;
    ++g_accepted;
    int server = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in address = Loopback(target);
    /* Connecting on loopback finishes at once; the handshake's time is simulated instead. */
    if (server < 0 || connect(server, (struct sockaddr*)&address, sizeof address) != 0) {
        perror("latency-proxy: connect to the server");
        close(client);
        if (server >= 0) close(server);
        return 0;
    }
    NonBlocking(client);
    NonBlocking(server);
    int slot = 0;
    while (slot < *count && !connections[slot].dead)
        ++slot;
    if (slot == *count) ++*count;
    struct Connection* c = &connections[slot];
    memset(c, 0, sizeof *c);
    c->openAt = now + g_handshake;
    c->up.from = client;
    c->up.to = server;
    c->down.from = server;
    c->down.to = client;
    return 1;
}

/* The poll events a side needs: reading while its queue has room, writing while a due chunk
 * waits for room in the socket. */
static short Events(const struct Pipe* reading, const struct Pipe* writing, double now) {
    short events = 0;
    if (!reading->readEnded && reading->queued < QueueCap) events |= POLLIN;
    if (writing->head != NULL && writing->head->due <= now) events |= POLLOUT;
    return events;
}

static double Earliest(const struct Pipe* pipe, double earliest) {
    if (pipe->head != NULL && pipe->head->due < earliest) return pipe->head->due;
    return earliest;
}

int main(int argc, char** argv) {
    if (argc < 4 || argc > 5) {
        fprintf(stderr, "usage: %s LISTEN_PORT TARGET_PORT RTT_MS [SECONDS]\n", argv[0]);
        return 2;
    }
    int port = atoi(argv[1]), target = atoi(argv[2]);
    g_handshake = atof(argv[3]) / 1000.0;
    g_half = g_handshake / 2;
    double limit = argc == 5 ? atof(argv[4]) : 900;

    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, NULL);
    sigaction(SIGINT, &action, NULL);

    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    struct sockaddr_in address = Loopback(port);
    if (listener < 0 || bind(listener, (struct sockaddr*)&address, sizeof address) != 0 ||
        listen(listener, 512) != 0) {
        perror("latency-proxy: listen");
        return 1;
    }

    static struct Connection connections[MaxConnections];
    static struct pollfd fds[1 + 2 * MaxConnections];
    int count = 0;
    double end = Now() + limit;
    while (!g_stop) {
        double now = Now();
        if (now >= end) break;
        double wake = end;
        fds[0].fd = count < MaxConnections ? listener : -1;
        fds[0].events = POLLIN;
        for (int i = 0; i < count; ++i) {
            struct Connection* c = &connections[i];
            /* A side with nothing to wait for is left out: once hung up, it would wake the
             * poll at once, again and again, until its delayed chunks were due. */
            short clientEvents = c->dead ? 0 : Events(&c->up, &c->down, now);
            short serverEvents = c->dead ? 0 : Events(&c->down, &c->up, now);
            fds[1 + 2 * i].fd = clientEvents != 0 ? c->up.from : -1;
            fds[1 + 2 * i].events = clientEvents;
            fds[2 + 2 * i].fd = serverEvents != 0 ? c->down.from : -1;
            fds[2 + 2 * i].events = serverEvents;
            if (!c->dead) wake = Earliest(&c->down, Earliest(&c->up, wake));
        }
        /* To the microsecond: a wait rounded to milliseconds would add to every delay. */
        double wait = wake <= now ? 0 : wake - now;
        struct timespec timeout = {(time_t)wait, (long)((wait - (double)(time_t)wait) * 1e9)};
        if (ppoll(fds, (nfds_t)(1 + 2 * count), &timeout, NULL) < 0 && errno != EINTR) {
            perror("latency-proxy: poll");
            break;
        }
        now = Now();
        int polled = count;
        if (fds[0].fd >= 0 && (fds[0].revents & POLLIN))
            Accept(listener, target, connections, &count, now);
        for (int i = 0; i < polled; ++i) {
            struct Connection* c = &connections[i];
            if (c->dead) continue;
            short clientEvents = fds[1 + 2 * i].revents, serverEvents = fds[2 + 2 * i].revents;
            int ok = 1;
            if ((clientEvents & (POLLIN | POLLHUP | POLLERR)) && !c->up.readEnded)
                ok = ok && ReadSide(c, &c->up, &g_upBytes, now);
            if ((serverEvents & (POLLIN | POLLHUP | POLLERR)) && !c->down.readEnded)
                ok = ok && ReadSide(c, &c->down, &g_downBytes, now);
            ok = ok && WriteSide(&c->up, now) && WriteSide(&c->down, now);
            if (!ok || (c->up.done && c->down.done)) Kill(c);
        }
        while (count > 0 && connections[count - 1].dead)
            --count;
    }
    for (int i = 0; i < count; ++i)
        Kill(&connections[i]);
    close(listener);
    printf("connections %lld up %lld down %lld\n", g_accepted, g_upBytes, g_downBytes);
    return 0;
}
