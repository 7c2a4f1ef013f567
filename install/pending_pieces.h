// TEMPORARY until the uninstall entry and the settings migration are merged: their declarations.
#pragma once
void RegisterUninstall();
void MigrateVersion3Settings();
