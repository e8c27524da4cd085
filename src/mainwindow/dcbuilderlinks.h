#pragma once
// Registers the data-container builder behind the main window's builder link.
namespace dcBuilderLinks {
void install();
}
