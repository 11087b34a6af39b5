// Test support grows here (loopback servers, main-loop pump).
namespace qor::testing {}
