#include "app/cli/ports_command.h"

#include "formats/printable_text.h"

#include <ostream>

namespace vz::cli {

namespace {

// USB strings and names come from the adapter's maker: a long by-id name still fits.
constexpr std::size_t kFieldBytes = 1024;

void Add(std::string& line, const std::string& field) {
    if (!field.empty()) line += "  " + PrintableText(field, kFieldBytes);
}

std::string JsonText(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
}

} // namespace

std::string PortLine(const PortInfo& port) {
    std::string line = PrintableText(port.name, kFieldBytes);
    Add(line, port.stableName);
    if (!port.driver.empty()) Add(line, "driver " + port.driver);
    if (!port.vendorId.empty() || !port.productId.empty())
        Add(line, "USB " + port.vendorId + ":" + port.productId);
    Add(line, port.manufacturer);
    Add(line, port.product);
    if (!port.serialNumber.empty()) Add(line, "serial " + port.serialNumber);
    if (port.description != port.product) Add(line, port.description);
    if (port.latencyTimerMs) Add(line, "latency timer " + std::to_string(*port.latencyTimerMs) + " ms");
    if (port.inUse) Add(line, "in use");
    return line;
}

std::string PortsJson(const std::vector<PortInfo>& ports) {
    std::string json = "[";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const PortInfo& port = ports[i];
        json += i == 0 ? "\n" : ",\n";
        json += "  {\"name\": " + JsonText(port.name) + ", \"stable_name\": " + JsonText(port.stableName) +
                ", \"driver\": " + JsonText(port.driver) + ", \"vid\": " + JsonText(port.vendorId) +
                ", \"pid\": " + JsonText(port.productId) +
                ", \"manufacturer\": " + JsonText(port.manufacturer) +
                ", \"product\": " + JsonText(port.product) +
                ", \"serial_number\": " + JsonText(port.serialNumber) +
                ", \"description\": " + JsonText(port.description) + ", \"latency_timer_ms\": " +
                (port.latencyTimerMs ? std::to_string(*port.latencyTimerMs) : "null") +
                ", \"in_use\": " + (port.inUse ? "true" : "false") + "}";
    }
    return json + (ports.empty() ? "]" : "\n]");
}

int RunPorts(bool json, std::ostream& out, std::ostream& err) {
    const std::vector<PortInfo> ports = ListPorts();
    if (json) {
        out << PortsJson(ports) << "\n";
        return 0;
    }
    if (ports.empty()) err << "No serial ports found\n";
    for (const PortInfo& port : ports)
        out << PortLine(port) << "\n";
    return 0;
}

} // namespace vz::cli
