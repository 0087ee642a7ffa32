/* The floor of a crawl: fetches a list of request paths from 127.0.0.1:PORT one after another,
 * one connection a request (HTTP/1.0, as gathra asks), and throws the answers away. Prints the
 * wall time in seconds and the bytes received.
 *
 * Usage: raw-client PORT PATHS-FILE   (one request path a line, as "/s00/a01.htm?x=1")
 * Build: cc -O2 -o raw-client bench/raw-client.c
 */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static long long Fetch(const struct sockaddr_in* address, const char* path) {
    static char buffer[1 << 16];
    char request[8192];
    int length = snprintf(request, sizeof request, "GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", path);
    if (length <= 0 || length >= (int)sizeof request) return -1;
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return -1;
    if (connect(s, (const struct sockaddr*)address, sizeof *address) != 0) {
        close(s);
        return -1;
    }
    long long total = 0;
    for (int sent = 0; sent < length;) {
        ssize_t n = send(s, request + sent, (size_t)(length - sent), 0);
        if (n <= 0) {
            close(s);
            return -1;
        }
        sent += (int)n;
    }
    for (;;) {
        ssize_t n = recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        total += n;
    }
    close(s);
    return total;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s PORT PATHS-FILE\n", argv[0]);
        return 2;
    }
    FILE* list = fopen(argv[2], "r");
    if (list == NULL) {
        perror(argv[2]);
        return 1;
    }
    struct sockaddr_in address;
    memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons((unsigned short)atoi(argv[1]));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK); /* loopback only, whatever the list says */

    char line[8192];
    long long bytes = 0;
    int requests = 0, failed = 0;
    double start = Now();
    while (fgets(line, sizeof line, list) != NULL) {
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0] == '\0') continue;
        long long got = Fetch(&address, line);
        ++requests;
        if (got < 0)
            ++failed;
        else
            bytes += got;
    }
    double seconds = Now() - start;
    fclose(list);
    printf("%.3f %d %lld %d\n", seconds, requests, bytes, failed);
    return failed == 0 ? 0 : 1;
}
