#pragma once
// Packets written to and read from a file as the recorder's bytes.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "device/DevicePacket.h"

// Creates the folders on the way.
inline void WritePackets(const std::filesystem::path& path, const std::vector<DevicePacket>& packets)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(packets.data()),
               static_cast<std::streamsize>(packets.size() * kPacketBytes));
}

// The whole packets of a file; a cut one at the end is left out.
inline std::vector<DevicePacket> ReadPackets(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<DevicePacket> packets(bytes.size() / kPacketBytes);
    std::copy_n(bytes.data(), packets.size() * kPacketBytes, reinterpret_cast<char*>(packets.data()));
    return packets;
}
