#include "config/config_check.h"

#include "config/settings_catalogue.h"
#include "config/xml_document.h"

#include <cstring>

bool checkMainConfigFile(const std::string& path, std::string& reason) {
    XmlDocument document = parseXmlFile(path);
    if (!document) {
        reason = "файл не читается как XML";
        return false;
    }
    xmlNode* root = xmlDocGetRootElement(document.get());
    if (!root || std::strcmp(reinterpret_cast<const char*>(root->name), "config") != 0) {
        reason = "это не файл настроек";
        return false;
    }
    for (const SettingGroup& group : settingGroups())
        if (group.store == SettingStore::MainFile && firstChildElement(root, group.name))
            return true;
    reason = "в файле нет настроек";
    return false;
}
