#pragma once
// Registers the data-container builder and the reconstruction window behind the main
// window's links, the table editor behind the builder's editor link, and the main
// window's log behind the template creation's log link.
namespace dcBuilderLinks {
void install();
}
