// The daemon's sockets and its single-threaded poll loop: the host front and
// the control interface, each on its own Unix socket, any number of clients.
#pragma once

#include "faults.h"

#include <string>
#include <vector>

namespace zrksim {

class Server {
public:
    explicit Server(SimState &state) : st_(state) {}
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Binds both sockets; false with the reason on failure.
    // With lanPort 0 or above also the LAN front on 127.0.0.1 at that port
    // (0: the system chooses; state.lan.iPort then holds it).
    bool listen(const std::string &hostPath, const std::string &controlPath, int lanPort, std::string &error);
    // Serves until shutdown, SIGTERM or SIGINT; false with the reason when
    // the loop itself fails.
    bool run(std::string &error);

private:
    struct Client {
        int fd = -1;
        bool bControl = false;  // control interface, else host front
        bool bLan = false;      // LAN front (one request, one reply, then closed)
        bool bEnded = false;    // LAN: the peer closed its side
        bool bAnswered = false; // LAN: the reply is built; close once it is sent
        long long llDueMs = 0;  // LAN: the reply waits until this time (monotonic ms)
        std::string held;       // LAN: the reply while it waits
        std::string in;         // bytes received, not yet answered
        std::string out;        // bytes to send
        bool bDead = false;     // to be closed
    };

    void accept(int listener, bool control, bool lan = false);
    void stopLan();
    void receive(Client &client);
    void serve(Client &client);
    void send(Client &client);

    SimState &st_;
    int hostFd_ = -1;
    int controlFd_ = -1;
    int lanFd_ = -1;
    int signalFd_ = -1;
    std::string hostPath_;
    std::string controlPath_;
    std::vector<Client> clients_;
};

}  // namespace zrksim
