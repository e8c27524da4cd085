#pragma once
// Registers the data-container builder behind the main window's builder link, and the
// table editor behind the builder's editor link.
namespace dcBuilderLinks {
void install();
}
