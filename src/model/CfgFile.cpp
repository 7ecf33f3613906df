#include "CfgFile.h"

#include "common/BsTypes.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"

#include <fstream>
#include <iterator>

CfgFileContents ReadCfgFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CfgFileError("Unable to read " + path);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw CfgFileError("Unable to read " + path);
    if (bytes.size() < kCfgNameSize || (bytes.size() - kCfgNameSize) % kCfgRecordSize != 0)
        throw CfgFileError(path + " is not a configuration file");

    CfgFileContents contents;
    contents.TemplateName = UpperCase(Trim(bytes.substr(0, kCfgNameSize)));
    for (std::size_t at = kCfgNameSize; at < bytes.size(); at += kCfgRecordSize)
        contents.Records.push_back(bytes.substr(at, kCfgRecordSize));
    return contents;
}

bool WriteCfgFile(const std::string &path, std::string_view templateName, const ConfigRecords &records)
{
    std::string bytes = Cut(PadRight(templateName, ' ', int(kCfgNameSize)), kCfgNameSize);
    for (const std::string &record : records) bytes += record;
    return WriteFileAtomically(path, bytes);
}
