#include "console/LineReader.h"

#include "platform/base/RunLoop.h"

#include <istream>
#include <utility>

namespace zestrel::console {

LineReader::LineReader(std::istream& input)
    : state_(std::make_shared<State>(input)), thread_([state = state_] { read(*state); }) {}

LineReader::~LineReader() {
    bool reading = false;
    {
        std::lock_guard lock(state_->mutex);
        state_->finished = true;
        reading = state_->reading;
    }
    state_->wake.notify_all();
    if (reading) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

void LineReader::request(platform::RunLoop& loop, Deliver deliver) {
    {
        std::lock_guard lock(state_->mutex);
        state_->loop = &loop;
        state_->deliver = std::move(deliver);
    }
    state_->wake.notify_all();
}

void LineReader::read(State& state) {
    for (;;) {
        platform::RunLoop* loop = nullptr;
        Deliver deliver;
        {
            std::unique_lock lock(state.mutex);
            state.wake.wait(lock, [&] { return state.finished || state.deliver; });
            if (state.finished) {
                return;
            }
            loop = std::exchange(state.loop, nullptr);
            deliver = std::exchange(state.deliver, nullptr);
            state.reading = true;
        }
        std::string line;
        std::optional<std::string> got;
        if (std::getline(state.input, line)) {
            got = std::move(line);
        }
        std::lock_guard lock(state.mutex);
        state.reading = false;
        if (state.finished) {
            return;
        }
        loop->async([deliver = std::move(deliver), got = std::move(got)] { deliver(got); });
    }
}

} // namespace zestrel::console
