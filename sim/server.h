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
    bool listen(const std::string &hostPath, const std::string &controlPath, std::string &error);
    // Serves until shutdown, SIGTERM or SIGINT; false with the reason when
    // the loop itself fails.
    bool run(std::string &error);

private:
    struct Client {
        int fd = -1;
        bool bControl = false;  // control interface, else host front
        std::string in;         // bytes received, not yet answered
        std::string out;        // bytes to send
        bool bDead = false;     // to be closed
    };

    void accept(int listener, bool control);
    void receive(Client &client);
    void serve(Client &client);
    void send(Client &client);

    SimState &st_;
    int hostFd_ = -1;
    int controlFd_ = -1;
    int signalFd_ = -1;
    std::string hostPath_;
    std::string controlPath_;
    std::vector<Client> clients_;
};

}  // namespace zrksim
