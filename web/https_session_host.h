#pragma once
// What an HTTPS session needs from the server that accepted it.

class Dispatcher;
class Http2Session;

class HttpsSessionHost {
public:
    virtual ~HttpsSessionHost() = default;
    virtual Dispatcher& dispatcher() = 0;
    // The local HTTP/1.1 port that relays connect to.
    virtual int relayPort() = 0;
    // Destroys the session (it must not be used afterwards).
    virtual void closeSession(Http2Session* session) = 0;
};
