#include "Platform/PropertyList/PropertyList.h"

#include "Platform/Files/RegularFile.h"
#include "Platform/PropertyList/BinaryPropertyList.h"
#include "Platform/PropertyList/XmlPropertyList.h"

namespace Platform {

std::optional<QVariantMap> PropertyList::dictionaryFromData(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > kMaxFileSize)
        return std::nullopt;
    const std::optional<QVariant> root = data.startsWith("bplist00") ? BinaryPropertyList::read(data)
                                                                     : XmlPropertyList::read(data);
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return root->toMap();
}

std::optional<QVariantMap> PropertyList::dictionaryWithContentsOfFile(const QString& path)
{
    const std::optional<QByteArray> data = readRegularFile(path, kMaxFileSize);
    if (!data)
        return std::nullopt;
    return dictionaryFromData(*data);
}

}  // namespace Platform
