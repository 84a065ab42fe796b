#include "tools/bench_machine.h"

#include <cstring>
#include <ctime>
#include <fstream>
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#define SCANVANE_BRAND_CPUID 1
#endif
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

// A field of the first processor in /proc/cpuinfo, or "unknown".
static std::string CpuInfoField(const char *name) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(" \t") + 1);
        if (key == name) return colon + 2 <= line.size() ? line.substr(colon + 2) : "";
    }
    return "unknown";
}

// The processor's own name for itself (leaves 0x80000002..4), where there is
// no /proc/cpuinfo to ask; "unknown" when it has none.
static std::string BrandString() {
#ifdef SCANVANE_BRAND_CPUID
    unsigned regs[12];
    if (__get_cpuid_max(0x80000000u, nullptr) < 0x80000004u) return "unknown";
    for (unsigned leaf = 0; leaf < 3; leaf++)
        __get_cpuid(0x80000002u + leaf, &regs[4 * leaf], &regs[4 * leaf + 1], &regs[4 * leaf + 2],
                    &regs[4 * leaf + 3]);
    char brand[49];
    std::memcpy(brand, regs, 48);
    brand[48] = '\0';
    std::string s = brand;
    size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "unknown";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
#else
    return "unknown";
#endif
}

static std::string Compiler() {
#if defined(__clang__)
    return std::string("clang ") + __clang_version__;
#elif defined(__GNUC__)
    return std::string("gcc ") + __VERSION__;
#elif defined(_MSC_VER)
    return "msvc " + std::to_string(_MSC_FULL_VER);
#else
    return "unknown";
#endif
}

static std::string OperatingSystem() {
#ifdef _WIN32
    // GetVersionEx answers what the manifest allows; ntdll says the truth.
    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW *);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    RtlGetVersionFn get =
        ntdll ? (RtlGetVersionFn)(void *)GetProcAddress(ntdll, "RtlGetVersion") : nullptr;
    std::string arch = sizeof(void *) == 8 ? " x86_64" : " i686";
    if (!get || get(&info) != 0) return "Windows" + arch;
    return "Windows " + std::to_string(info.dwMajorVersion) + "." +
           std::to_string(info.dwMinorVersion) + "." + std::to_string(info.dwBuildNumber) + arch;
#else
    struct utsname u;
    if (uname(&u) != 0) return "unknown";
    return std::string(u.sysname) + " " + u.release + " " + u.machine;
#endif
}

static std::string UtcNow() {
    std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

BenchMachine DescribeMachine() {
    BenchMachine m;
    m.processor = CpuInfoField("model name");
    if (m.processor == "unknown" || m.processor.empty()) m.processor = BrandString();
    m.family = CpuInfoField("cpu family");
    m.model = CpuInfoField("model");
    m.compiler = Compiler();
    m.os = OperatingSystem();
    m.date = UtcNow();
    return m;
}
