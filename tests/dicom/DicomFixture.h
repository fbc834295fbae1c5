#pragma once
// DICOM files read back with DCMTK, and the settings that point the program at a storescp here.
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dctk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "tests/support/RunProgram.h"

inline constexpr const char* kRoot = "1.2.826.0.1.3680043.10.999";

inline std::string Str(DcmItem& item, const DcmTagKey& tag)
{
    OFString value;
    item.findAndGetOFStringArray(tag, value);
    return value.c_str();
}

inline DcmItem* Item(DcmItem& item, const DcmTagKey& sequence, int n = 0)
{
    DcmItem* found = nullptr;
    item.findAndGetSequenceItem(sequence, found, n);
    return found;
}

inline std::unique_ptr<DcmFileFormat> Load(const std::filesystem::path& file)
{
    auto ff = std::make_unique<DcmFileFormat>();
    EXPECT_TRUE(ff->loadFile(file.c_str()).good()) << file;
    return ff;
}

// The objects a storescp wrote to a folder, by SOP instance UID.
inline std::map<std::string, std::filesystem::path> ReceivedByUid(const std::filesystem::path& folder)
{
    std::map<std::string, std::filesystem::path> received;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        received[Str(*Load(entry.path())->getDataset(), DCM_SOPInstanceUID)] = entry.path();
    return received;
}

// Writes the PDF a report object carries.
inline void SavePdf(DcmItem& report, const std::filesystem::path& pdf)
{
    const Uint8* bytes = nullptr;
    unsigned long size = 0;
    Uint32 length = 0;
    EXPECT_TRUE(report.findAndGetUint8Array(DCM_EncapsulatedDocument, bytes, &size).good());
    report.findAndGetUint32(DCM_EncapsulatedDocumentLength, length);
    EXPECT_GE(size, length);
    std::ofstream(pdf, std::ios::binary).write(reinterpret_cast<const char*>(bytes), length);
}

// What dciodvfy (Debian dicom3tools) says of a file: the name of its object alone when it finds
// no error and no warning.
inline std::string Dciodvfy(const std::filesystem::path& file)
{
    QString out, err;
    RunProgram("dciodvfy", {QString::fromStdString(file.string())}, &out, &err);
    return (err + out).trimmed().toStdString();
}

inline void WritePacsSettings(const std::filesystem::path& ini, unsigned port, int timeout)
{
    std::ofstream(ini) << "[Dicom]\nUidRoot=" << kRoot << "\n[Pacs]\nHost=127.0.0.1\nPort=" << port
                       << "\nCalledAETitle=STORESCP\nTimeout=" << timeout << "\n";
}
