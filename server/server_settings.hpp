#pragma once
// The server's settings with their defaults: the command line offers these, and tests start from
// them. Bounds no operator needs to change (the linger, the eviction's grace, the export's and the
// database's deadlines) stay beside the code they bound.
#include <chrono>
#include <cstddef>
#include <string>

// The network side: where it listens, how many connections it holds and how long it waits.
struct ServerOptions {
    std::string address = "127.0.0.1";
    unsigned short port = 8080; // 0: the system's choice
    std::string operatorKey;    // empty: the export is refused to everyone
    std::size_t maxConnections = 1024;
    std::size_t maxPerAddress = 64; // open connections from one client address
    std::size_t maxBody = 64 * 1024;
    // A request must arrive whole within this; a reply must be taken within it.
    std::chrono::milliseconds requestDeadline{10000};
    // The first byte and the headers must arrive within this (capped by the request deadline):
    // an idle or trickling connection gives its slot back soon.
    std::chrono::milliseconds headerDeadline{3000};
    // Requests one connection may carry, and how long it may take new ones after it was accepted;
    // the reply to the last closes it. A reply's own deadline is renewed for each reply, so without
    // the time a client that reads slowly could keep its slot for 100 replies' deadlines.
    std::size_t maxRequestsPerConnection = 100;
    std::chrono::milliseconds connectionLifetime{60000};
    int requestLogFd = -1; // where the line of each request goes (-1: nowhere)
    // The page is rendered at most once in this time.
    std::chrono::milliseconds pageLifetime{1000};
    int threads = 1; // network threads: with one, no handler needs a strand
};

// The whole process: the network side, the store and the threads.
struct Settings {
    ServerOptions server;
    std::string database = "data"; // a data folder for SQLite, or a PostgreSQL URL
    int writers = 1;               // store connections that write
    // A PostgreSQL URL the page, the unknown list and the export read from (a standby, or another
    // connection string to the database); empty: the database itself.
    std::string readDatabase;
    // A pool in transaction mode sits in front of PostgreSQL: statements are not prepared.
    bool transactionPool = false;
    // The most reports one transaction takes.
    std::size_t maxBatch = 512;
};
