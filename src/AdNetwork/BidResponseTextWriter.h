#pragma once

#include <string>

#include "AdNetwork/AdData.h"
#include "Models/OpenRTB/BidResponse.h"

namespace qor {

// Writes a bid response's event text as the answer is read, a bid at a time, so that its typed
// bids need never all be held at once: each bid of a seat in turn, then that seat without its
// bids, and at last the answer without its seats. The text is the one the whole answer's record
// encodes to.
class BidResponseTextWriter {
public:
    // The seats' text starts as the encoder starts a record's text, so that it grows as the
    // whole answer's text would: where a long text's last doubling falls decides how much of
    // it is held twice for a moment.
    BidResponseTextWriter() { seats_.reserve(1024); }

    void addBid(const Bid& bid);
    // The seat whose bids were added since the last seat; its own bids are not written.
    void endSeat(const SeatBid& seat);
    // The answer whose seats were ended before, with its list of seats present (and not written).
    AdData::EncodedBidResponse finish(const BidResponse& response) &&;

private:
    std::string seats_;  // the seats' text so far, without the list's brackets
    std::string bids_;   // the current seat's bids likewise
};

}  // namespace qor
