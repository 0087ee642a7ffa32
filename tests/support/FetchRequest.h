#pragma once
// The plainest fetch of the client's tests: no user, no proxy, links to other sites allowed.
#include "Net/HttpClient.h"

#include <string>

namespace gathra::test {

inline TFetchRequest FetchOf(const std::string& address, const std::string& base, bool loadImages,
                             bool loadBinaries) {
    TFetchRequest request;
    request.Address = address;
    request.BaseAddress = base;
    request.LoadImages = loadImages;
    request.LoadBinaries = loadBinaries;
    return request;
}

} // namespace gathra::test
