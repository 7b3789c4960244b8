// What the shipped program carries in its resources: the application
// manifest (read back from FirmwareUpdater.exe itself) and the version, and
// that the manifest gives a process Common Controls 6. This test program is
// linked with the same resources, so it runs as the program does.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "fwu_version.h"

namespace {

// A module loaded as data only, for its resources.
class ResourceModule {
public:
    explicit ResourceModule(const char* path)
        : m_module(::LoadLibraryExA(path, nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
    ~ResourceModule() {
        if (m_module)
            ::FreeLibrary(m_module);
    }
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;
    HMODULE get() const { return m_module; }

private:
    HMODULE m_module;
};

// The bytes of resource (type, id) of a module; empty when it has none.
std::string ResourceBytes(HMODULE module, LPCSTR type, int id) {
    HRSRC found = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found)
        return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return {};
    return std::string(static_cast<const char*>(data), ::SizeofResource(module, found));
}

std::string ProgramManifest() {
    ResourceModule program(FWU_PROGRAM);
    return program.get() ? ResourceBytes(program.get(), RT_MANIFEST, 1) : std::string();
}

// An activation context made from the program's manifest (resource 1).
class ProgramContext {
public:
    ProgramContext() {
        ACTCTXA request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = FWU_PROGRAM;
        request.lpResourceName = MAKEINTRESOURCEA(1);
        m_context = ::CreateActCtxA(&request);
        m_error = m_context == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    }
    ~ProgramContext() {
        if (m_context != INVALID_HANDLE_VALUE)
            ::ReleaseActCtx(m_context);
    }
    ProgramContext(const ProgramContext&) = delete;
    ProgramContext& operator=(const ProgramContext&) = delete;
    HANDLE get() const { return m_context; }
    DWORD error() const { return m_error; }

private:
    HANDLE m_context;
    DWORD m_error;
};

std::wstring Lower(std::wstring text) {
    for (wchar_t& ch : text)
        ch = static_cast<wchar_t>(::towlower(ch));
    return text;
}

// The folder name of the Common Controls assembly of version 6 that an
// activation context resolved; empty when it holds none.
std::wstring CommonControls6Folder(HANDLE context) {
    // The summary carries the context's paths after it: asked for its size first.
    SIZE_T size = 0;
    ::QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation, nullptr, 0, &size);
    std::string summaryBuffer(
        std::max<SIZE_T>(size, sizeof(ACTIVATION_CONTEXT_DETAILED_INFORMATION)), '\0');
    auto* summary =
        reinterpret_cast<ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(summaryBuffer.data());
    if (!::QueryActCtxW(0, context, nullptr, ActivationContextDetailedInformation, summary,
                        summaryBuffer.size(), nullptr))
        return {};
    for (DWORD index = 1; index <= summary->ulAssemblyCount; ++index) {
        SIZE_T needed = 0;
        ::QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext, nullptr,
                       0, &needed);
        std::string buffer(needed, '\0');
        auto* assembly =
            reinterpret_cast<ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION*>(buffer.data());
        if (!needed ||
            !::QueryActCtxW(0, context, &index, AssemblyDetailedInformationInActivationContext,
                            assembly, needed, nullptr))
            continue;
        const std::wstring identity = Lower(assembly->lpAssemblyEncodedAssemblyIdentity
                                                ? assembly->lpAssemblyEncodedAssemblyIdentity
                                                : L"");
        if (identity.find(L"microsoft.windows.common-controls") == 0 &&
            identity.find(L"version=\"6.") != std::wstring::npos &&
            assembly->lpAssemblyDirectoryName)
            return Lower(assembly->lpAssemblyDirectoryName);
    }
    return {};
}

// The lower-case path of a loaded module.
std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    return Lower(path);
}

// Under the program's manifest the comctl32 that loads is the one of the
// Common Controls 6 assembly (Windows also reports 6 from DllGetVersion; the
// copy of Wine reports 5.81 whichever it is, so the assembly decides).
TEST(ProgramResources, UnderTheProgramsManifestCommonControlsSixLoads) {
    ProgramContext context;
    // A manifest Windows cannot read keeps the program from starting at all.
    ASSERT_NE(context.get(), INVALID_HANDLE_VALUE) << "error " << context.error();
    const std::wstring folder = CommonControls6Folder(context.get());
    ASSERT_FALSE(folder.empty()) << "no Common Controls 6 in the program's manifest";
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(::ActivateActCtx(context.get(), &cookie));
    HMODULE comctl = ::LoadLibraryA("comctl32.dll");
    const std::wstring path = ModulePath(comctl);
    ::DeactivateActCtx(0, cookie);
    EXPECT_NE(path.find(L"\\" + folder + L"\\"), std::wstring::npos);
    if (comctl)
        ::FreeLibrary(comctl);
}

// This test program carries the same manifest, so it runs as the program:
// the comctl32 it was started with is the version 6 one.
TEST(ProgramResources, ThisProcessRunsWithTheProgramsManifestAndCommonControlsSix) {
    const std::string own = ResourceBytes(::GetModuleHandleA(nullptr), RT_MANIFEST, 1);
    EXPECT_FALSE(own.empty());
    EXPECT_EQ(own, ProgramManifest()) << "the tests run with the program's manifest";
    ProgramContext context;
    const std::wstring folder = CommonControls6Folder(context.get());
    ASSERT_FALSE(folder.empty());
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES};
    ASSERT_TRUE(::InitCommonControlsEx(&controls));
    const std::wstring loaded = ModulePath(::GetModuleHandleA("comctl32.dll"));
    EXPECT_NE(loaded.find(L"\\" + folder + L"\\"), std::wstring::npos);
}

TEST(ProgramResources, TheVersionResourceCarriesTheProjectVersionAndMaker) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(FWU_PROGRAM, &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(::GetFileVersionInfoA(FWU_PROGRAM, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS,
              static_cast<DWORD>(MAKELONG(FWU_VERSION_MINOR, FWU_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, FWU_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    auto text = [&](const char* name) {
        char* value = nullptr;
        UINT chars = 0;
        const std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
        if (!::VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &chars))
            return std::string();
        return std::string(value);
    };
    EXPECT_EQ(text("FileVersion"), FWU_PROJECT_VERSION ".0");
    EXPECT_EQ(text("ProductVersion"), FWU_PROJECT_VERSION);
    EXPECT_EQ(text("OriginalFilename"), "FirmwareUpdater.exe");
    // What Explorer's Details page shows, from the project's maker and product.
    EXPECT_EQ(text("CompanyName"), FWU_PROJECT_MAKER);
    EXPECT_EQ(text("LegalCopyright"), "Copyright (C) " FWU_PROJECT_MAKER);
    EXPECT_EQ(text("ProductName"), FWU_PROJECT_PRODUCT);
    EXPECT_EQ(text("FileDescription"), "Firmware Upgrade Utility");
    EXPECT_EQ(text("InternalName"), "FirmwareUpdater");
}

} // namespace
