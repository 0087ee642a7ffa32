/* The floor of a crawl: fetches a list of request paths from 127.0.0.1:PORT one after another,
 * one connection a request (HTTP/1.0, as gathra asks), and throws the answers away. Prints the
 * wall time in seconds, the requests sent, the bytes received and the failed requests.
 * With CA-FILE each connection is a secure one with a full handshake of its own (no session is
 * resumed), its certificate checked against that CA file for the address 127.0.0.1.
 *
 * Usage: raw-client PORT PATHS-FILE [CA-FILE]   (one request path a line, as "/s00/a01.htm?x=1")
 * Build: cc -O2 -o raw-client bench/raw-client.c -lssl -lcrypto
 */
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
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

static int SendAll(int s, SSL* ssl, const char* bytes, int length) {
    for (int sent = 0; sent < length;) {
        int n = ssl != NULL ? SSL_write(ssl, bytes + sent, length - sent)
                            : (int)send(s, bytes + sent, (size_t)(length - sent), 0);
        if (n <= 0) return 0;
        sent += n;
    }
    return 1;
}

/* A secure session on socket s, its certificate checked; NULL when the handshake fails. */
static SSL* Secure(SSL_CTX* context, int s) {
    SSL* ssl = SSL_new(context);
    if (ssl == NULL) return NULL;
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), "127.0.0.1");
    if (SSL_set_fd(ssl, s) != 1 || SSL_connect(ssl) != 1) {
        SSL_free(ssl);
        return NULL;
    }
    return ssl;
}

static long long Fetch(const struct sockaddr_in* address, SSL_CTX* context, const char* path) {
    static char buffer[1 << 16];
    char request[8192];
    int length =
        snprintf(request, sizeof request, "GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n", path);
    if (length <= 0 || length >= (int)sizeof request) return -1;
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return -1;
    /* As gathra does: a small write (the request after a handshake) is sent at once. */
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    SSL* ssl = NULL;
    if (connect(s, (const struct sockaddr*)address, sizeof *address) != 0 ||
        (context != NULL && (ssl = Secure(context, s)) == NULL) ||
        !SendAll(s, ssl, request, length)) {
        SSL_free(ssl);
        close(s);
        return -1;
    }
    long long total = 0;
    for (;;) {
        int n = ssl != NULL ? SSL_read(ssl, buffer, sizeof buffer)
                            : (int)recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        total += n;
    }
    if (ssl != NULL) SSL_shutdown(ssl);
    SSL_free(ssl);
    close(s);
    return total;
}

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: %s PORT PATHS-FILE [CA-FILE]\n", argv[0]);
        return 2;
    }
    SSL_CTX* context = NULL;
    if (argc == 4) {
        context = SSL_CTX_new(TLS_client_method());
        if (context == NULL || SSL_CTX_load_verify_locations(context, argv[3], NULL) != 1) {
            fprintf(stderr, "%s: cannot read the CA file %s\n", argv[0], argv[3]);
            return 1;
        }
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, NULL);
        SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_OFF);
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
        long long got = Fetch(&address, context, line);
        ++requests;
        if (got < 0)
            ++failed;
        else
            bytes += got;
    }
    double seconds = Now() - start;
    fclose(list);
    SSL_CTX_free(context);
    printf("%.3f %d %lld %d\n", seconds, requests, bytes, failed);
    return failed == 0 ? 0 : 1;
}
