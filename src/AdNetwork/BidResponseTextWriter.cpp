#include "AdNetwork/BidResponseTextWriter.h"

#include <stdexcept>
#include <string_view>
#include <utility>

#include "Platform/Foundation/JSONEncoder.h"

namespace qor {
namespace {

void appendText(std::string_view element, std::string& list) {
    if (!list.empty()) list += ',';
    list += element;
}

template <class Record>
void appendRecord(const Record& element, std::string& list) {
    if (!list.empty()) list += ',';
    platform::JSONEncoder().encodeAppending(element, list);
}

// The record's own text with `elements` as its list under `key`: the record's members are
// written in its order around the list, whatever it holds there. `elements` becomes the text.
template <class Record>
std::string placedIn(const Record& record, std::string_view key, std::string elements) {
    const platform::JSONEncoder encoder;
    const platform::Any members = encoder.encodeToAny(record);
    std::string before = "{";
    std::string after;
    std::string* out = &before;
    for (const auto& [name, value] : members.asDictionary()) {
        if (out != &before || before.size() > 1) *out += ',';
        encoder.encodeAppending(name, *out);
        *out += ':';
        if (name == key && out == &before) {
            before += '[';
            out = &after;
            after += ']';
        } else {
            encoder.encodeAppending(value, *out);
        }
    }
    if (out != &after) throw std::logic_error("a record left out the list its elements were written for");
    after += '}';
    elements.insert(0, before);
    elements += after;
    return elements;
}

}  // namespace

void BidResponseTextWriter::addBid(const Bid& bid) { appendRecord(bid, bids_); }

void BidResponseTextWriter::endSeat(const SeatBid& seat) {
    appendText(placedIn(seat, "bid", std::exchange(bids_, {})), seats_);
}

AdData::EncodedBidResponse BidResponseTextWriter::finish(const BidResponse& response) && {
    return {placedIn(response, "seatbid", std::move(seats_))};
}

}  // namespace qor
