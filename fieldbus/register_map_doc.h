#pragma once
// The register map document for integrators (docs/modbus-map.md), written from the map's tables and
// the settings catalogue, so the document and the slave cannot differ.

#include <string>

std::string registerMapMarkdown();
