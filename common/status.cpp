#include "common/status.h"

namespace varenta {

const char* statusName(Status s)
{
    switch (s) {
    case Status::Ok: return "ok";
    case Status::NotFound: return "not found";
    case Status::Io: return "input/output error";
    case Status::DataFormat: return "data format error";
    case Status::Cancelled: return "cancelled";
    case Status::Timeout: return "time-out";
    case Status::Refused: return "refused";
    }
    return "unknown";
}

}  // namespace varenta
