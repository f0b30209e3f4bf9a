#pragma once
// Outcome of a core operation.  No exception leaves a procedure: callers get
// one of these and the front end turns it into a status text or a message.

namespace varenta {

enum class Status {
    Ok,
    NotFound,    // file or item missing
    Io,          // read or write failed
    DataFormat,  // contents are not what the format says
    Cancelled,   // stop request or the user said no
    Timeout,
    Refused,     // the operation is not allowed in this state
};

const char* statusName(Status s);

}  // namespace varenta
