#pragma once
// wlmscpfs (Debian dcmtk) on 127.0.0.1 serving the worklist files of `folder`/<AE title>/, and
// those files made by dump2dcm from a few facts in the character set each declares.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/RunProgram.h"
#include "tests/support/StoreScp.h"

inline constexpr const char* kWorklistAe = "WORKLIST";

// One scheduled step; the texts are bytes in `charset`, and an empty fact is left out.
struct WorklistFile {
    std::string charset, name, id, birth, sex, accession, date, time;
    std::string modality = "ECG", station = "ECG1", procedure = "Resting ECG";
};

// Writes the step as `folder`/WORKLIST/<file>.wl; false when dump2dcm refuses it.
inline bool WriteWorklistFile(const std::filesystem::path& folder, const std::string& file,
                              const WorklistFile& f)
{
    const std::filesystem::path ae = folder / kWorklistAe;
    std::filesystem::create_directories(ae);
    std::ofstream(ae / "lockfile");  // wlmscpfs locks the folder through it
    std::string dump;
    auto put = [&dump](const char* tag, const std::string& value) {
        if (!value.empty())
            dump += std::string(tag) + " [" + value + "]\n";
    };
    put("(0008,0005) CS", f.charset);
    put("(0008,0050) SH", f.accession);
    put("(0010,0010) PN", f.name);
    put("(0010,0020) LO", f.id);
    put("(0010,0021) LO", f.id.empty() ? "" : "HOSPITAL");
    put("(0010,0030) DA", f.birth);
    put("(0010,0040) CS", f.sex);
    put("(0020,000d) UI", f.accession.empty() ? "" : "1.2.826.0.1.3680043.10.999.7." + f.accession.substr(3));
    put("(0032,1060) LO", f.procedure);
    dump += "(0040,0100) SQ (Sequence with explicit length #=1)\n(fffe,e000) na (Item)\n";
    put("(0008,0060) CS", f.modality);
    put("(0040,0001) AE", f.station);
    put("(0040,0002) DA", f.date);
    put("(0040,0003) TM", f.time);
    put("(0040,0009) SH", f.accession.empty() ? "" : "SPS" + f.accession.substr(3));
    dump += "(fffe,e00d) na (ItemDelimitationItem)\n(fffe,e0dd) na (SequenceDelimitationItem)\n";
    put("(0040,1001) SH", f.accession.empty() ? "" : "RP" + f.accession.substr(3));
    const std::filesystem::path text = ae / (file + ".dump");
    std::ofstream(text, std::ios::binary) << dump;
    const bool made = RunProgram("dump2dcm", {QString::fromStdString(text.string()),
                                              QString::fromStdString((ae / (file + ".wl")).string())}) == 0;
    std::filesystem::remove(text);
    return made;
}

// Serves the files as they are (an entry without some attribute too), each in the character set
// its file declares; `options` are wlmscpfs's own (--refuse, --sleep-during …).
class WorklistScp : public ScpProcess {
public:
    explicit WorklistScp(const std::filesystem::path& folder, const QStringList& options = {})
        : ScpProcess("wlmscpfs", QStringList(options) << "-dfr" << "-csk" << "-dfp" << MadeFolder(folder))
    {
    }
};

// A peer that takes the connection and answers `reply` (nothing when empty, and then keeps
// the connection open until the object ends).
class RawPeer {
public:
    explicit RawPeer(std::string reply)
    {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener_, 1);
        socklen_t size = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
        if (!reply.empty())
            thread_ = std::thread([this, reply] {
                const int c = accept(listener_, nullptr, nullptr);
                (void)!write(c, reply.data(), reply.size());
                close(c);
            });
    }
    ~RawPeer()
    {
        if (thread_.joinable())
            thread_.join();
        close(listener_);
    }
    quint16 Port() const { return port_; }

private:
    int listener_ = -1;
    quint16 port_ = 0;
    std::thread thread_;
};
