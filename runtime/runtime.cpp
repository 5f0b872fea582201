// Placeholder so the library exists before its first component lands.
namespace NUBO {}
