#include "console/LineReader.h"

#include "platform/base/RunLoop.h"

#include <exception>
#include <istream>
#include <string>
#include <utility>

namespace zestrel::console {

LineReader::LineReader(std::istream& input, std::size_t limit)
    : state_(std::make_shared<State>(input, limit)), thread_([state = state_] { read(*state); }) {}

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
    std::unique_lock lock(state_->mutex);
    state_->loop = &loop;
    state_->deliver = std::move(deliver);
    const std::size_t handed = state_->delivered;
    state_->wake.notify_all();
    if (linesComeTogether.load()) {
        state_->wake.wait(lock, [&] { return state_->finished || state_->delivered > handed; });
    }
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
        Line got = readLine(state.input, state.limit);
        got.number = ++state.linesRead;
        std::lock_guard lock(state.mutex);
        state.reading = false;
        if (state.finished) {
            return;
        }
        // The machine's work: no end of the app's process drops a line typed.
        loop->machineAsync([deliver = std::move(deliver), got = std::move(got)]() mutable {
            deliver(std::move(got));
        });
        ++state.delivered;
        state.wake.notify_all();
    }
}

LineReader::Line LineReader::readLine(std::istream& input, std::size_t limit) {
    Line line;
    std::string text;
    std::size_t length = 0;
    auto* buffer = input.rdbuf();
    for (;;) {
        std::char_traits<char>::int_type c = 0;
        try {
            c = buffer->sbumpc();
        } catch (const std::exception& error) {
            input.setstate(std::ios::badbit);
            line.failure = error.what();
            return line;
        }
        if (c == std::char_traits<char>::eof()) {
            input.setstate(std::ios::eofbit);
            if (length == 0) {
                return line; // the end of input
            }
            break;
        }
        if (c == '\n') {
            break;
        }
        if (++length <= limit) {
            text += std::char_traits<char>::to_char_type(c);
        } else if (text.size() > kKeptStart) {
            // Only its start is kept, to name it.
            std::string(text, 0, kKeptStart).swap(text);
        }
    }
    line.tooLong = length > limit ? length : 0;
    line.text = std::move(text);
    return line;
}

} // namespace zestrel::console
