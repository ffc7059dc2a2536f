#pragma once
// The listing dialects a server may speak. The order is part of the client's
// published interface (profiles and preferences store the ordinal).

#include <cstdint>

enum TVexFtpServerType : std::uint8_t {
    ftpstAutoDetect,
    ftpstDefault,
    ftpstUNIX,
    ftpstULTRIX,
    ftpstClix,
    ftpstChameleon,
    ftpstNCSA,
    ftpstQVT,
    ftpstBSD,
    ftpstSunOS,
    ftpstVmsMultinet,
    ftpstVmsUcx,
    ftpstMVS,
    ftpstVM,
    ftpstVMVPS,
    ftpstMSFTP,
    ftpstNetTerm,
    ftpstServU,
    ftpstWFTPD,
    ftpWarFTPD,
    ftpstNetware,
    ftpstNetPresenz
};
