#pragma once
// Gives the document the import and export managers of this layer.
void installExchangeManagers();
