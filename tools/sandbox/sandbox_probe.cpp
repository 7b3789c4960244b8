// Test helper for the sandbox runner: reports what a Windows program sees
// inside the sandbox, then ends the way it is told to.
//   sandbox_probe report <code>   working folder, IPv4 addresses, exit <code>
//   sandbox_probe crash           access violation
//   sandbox_probe hang            sleeps far past any timeout

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void PrintIpv4Addresses() {
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer(size);
    auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
    if (GetAdaptersAddresses(AF_INET, 0, nullptr, adapters, &size) != NO_ERROR) {
        std::printf("addresses: error\n");
        return;
    }
    std::printf("addresses:");
    for (auto* adapter = adapters; adapter; adapter = adapter->Next) {
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(unicast->Address.lpSockaddr);
            char text[INET_ADDRSTRLEN] = {};
            InetNtopA(AF_INET, &in->sin_addr, text, sizeof text);
            std::printf(" %s", text);
        }
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "report") == 0 && argc > 2) {
        char folder[1024] = {};
        GetCurrentDirectoryA(sizeof folder, folder);
        std::printf("cwd: %s\n", folder);
        PrintIpv4Addresses();
        std::fprintf(stderr, "probe stderr\n");
        return std::atoi(argv[2]);
    }
    if (std::strcmp(mode, "crash") == 0) {
        std::fflush(stdout);
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    if (std::strcmp(mode, "hang") == 0) {
        Sleep(600 * 1000);
        return 0;
    }
    std::fprintf(stderr, "usage: sandbox_probe report <code> | crash | hang\n");
    return 2;
}
