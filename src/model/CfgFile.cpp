#include "CfgFile.h"

#include "common/BsTypes.h"
#include "platform/FileContents.h"
#include "platform/Text.h"

CfgFileContents ReadCfgFile(const std::string &path)
{
    const std::optional<std::string> contents = ReadFileContents(path);
    if (!contents) throw CfgFileError("Unable to read " + path);
    const std::string &bytes = *contents;
    if (bytes.size() < kCfgNameSize || (bytes.size() - kCfgNameSize) % kCfgRecordSize != 0)
        throw CfgFileError(path + " is not a configuration file");

    CfgFileContents cfg;
    cfg.TemplateName = UpperCase(Trim(bytes.substr(0, kCfgNameSize)));
    for (std::size_t at = kCfgNameSize; at < bytes.size(); at += kCfgRecordSize)
        cfg.Records.push_back(bytes.substr(at, kCfgRecordSize));
    return cfg;
}

bool CfgNamesTemplate(std::string_view storedName, std::string_view fileName)
{
    if (storedName.size() == kCfgNameSize) return StartsWithText(fileName, storedName);
    return SameText(storedName, fileName);
}

bool WriteCfgFile(const std::string &path, std::string_view templateName, const ConfigRecords &records)
{
    std::string bytes = Cut(PadRight(templateName, ' ', int(kCfgNameSize)), kCfgNameSize);
    for (const std::string &record : records) bytes += record;
    return WriteFileAtomically(path, bytes);
}
