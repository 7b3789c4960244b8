#include "net/upload_request.h"

#include <cstring>

UploadRequest TheUploadRequest;

namespace {

template <size_t N> bool CopyWhole(char (&field)[N], const char* text) {
    const char* from = text != nullptr ? text : "";
    const size_t length = std::strlen(from);
    if (length >= N)
        return false;
    std::memcpy(field, from, length + 1);
    return true;
}

} // namespace

bool FillUploadRequest(UploadRequest* request, const char* path, const char* host,
                       const char* password) {
    if (request == nullptr)
        return false;
    *request = UploadRequest{};
    if (CopyWhole(request->path, path) && CopyWhole(request->host, host) &&
        CopyWhole(request->object, kFirmwareUploadObject) && CopyWhole(request->password, password))
        return true;
    *request = UploadRequest{};
    return false;
}
