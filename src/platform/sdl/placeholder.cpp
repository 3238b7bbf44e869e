// SCAFFOLD: the SDL host comes later.
namespace pm {}
