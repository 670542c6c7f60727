#pragma once
// The main thread's end of a worker's response pipe: reads what the worker wrote, splits it into
// lines and hands each complete line to the owner.

#include "core/epoller.h"

#include <string>

class ThreadClient : public EPoller {
public:
    static constexpr size_t kReadChunk = 256;

    void onEvents(uint32_t events) override;

protected:
    // One reply line without its line end.
    virtual void processThreadResponse(const std::string& line) = 0;

private:
    std::string buffer_;
};
