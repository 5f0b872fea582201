// A 1 MiB XML document loaded through domDocument and every element walked from script, against
// libxml2 parsing the same bytes from memory and walking the same elements in C, in one run. Our
// side crosses the script bridge for every node it touches (firstChild, nextSibling, nodeType),
// each answer a fresh node object; the peer follows the tree's own pointers. Both parse with the
// same options (no network, entities expanded) and count the elements, which must agree with the
// number generated. The bytes and the script are made outside the timer on both sides.
#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>
#include <vector>

#include <duktape.h>
#include <libxml/parser.h>

#include "app/dom_document.h"
#include "platform/net/memory_stream.h"
#include "runtime/script_constructors.h"
#include "runtime/startup.h"
#include "runtime/tests/script_test_site.h"

namespace {

struct Document {
    std::string bytes;
    int elements = 0;
};

// Messages of an inbox until the text reaches 1 MiB: four elements each, attributes and entities.
const Document& TheDocument() {
    static const Document document = [] {
        Document d;
        d.bytes = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<inbox owner=\"Аня\">\n";
        d.elements = 1;
        for (int i = 0; d.bytes.size() < (1u << 20) - 200; ++i) {
            const std::string n = std::to_string(i);
            d.bytes += "  <message id=\"" + n + "\" unread=\"" + (i % 3 ? "false" : "true") + "\"><from>Вера " + n +
                       "</from><body>Привет &amp; пока, message " + n + "</body><sent/></message>\n";
            d.elements += 4;
        }
        d.bytes += "</inbox>\n";
        return d;
    }();
    return document;
}

// The script's source of the document: the same stream each time, rewound.
class Source : public NUBO::XObject {
public:
    static NUBO::XClassDescriptor Descriptor;
    NUBO::XClassDescriptor* GetClassDescriptor() override { return &Descriptor; }
    platform::net::MemoryStream* stream = nullptr;

protected:
    ~Source() override {
        if (stream) stream->Release();
    }
};

int32_t StreamMethod(NUBO::XObject* object, int, NUBO::XArgList*, NUBO::XVariant* result) {
    auto* self = static_cast<Source*>(object);
    LARGE_INTEGER start{};
    self->stream->Seek(start, STREAM_SEEK_SET, nullptr);
    result->Clear();
    result->vt = VT_UNKNOWN;
    result->punkVal = self->stream;
    self->stream->AddRef();
    return 0;
}

const NUBO::XMemberEntry kSourceMembers[] = {
    NUBO::XMethod("stream", StreamMethod),
    NUBO::XMemberEnd(),
};
NUBO::XClassDescriptor Source::Descriptor = {"Source", 1, kSourceMembers, &NUBO::XObject::Descriptor, 0, {}};

const char16_t kScript[] = u"var doc = new domDocument();"
                           u"function loadOnly() { doc.load(source.stream(), false);"
                           u"  return doc.getElementsByTagName('*').length; }"
                           u"function run() {"
                           u"  doc.load(source.stream(), false);"
                           u"  var count = 0, stack = [doc.documentElement];"
                           u"  while (stack.length) {"
                           u"    var e = stack.pop(); count++;"
                           u"    for (var c = e.firstChild; c; c = c.nextSibling) if (c.nodeType == 1) stack.push(c);"
                           u"  }"
                           u"  return count;"
                           u"}";

// The same script work: `run()` loads and walks, `loadOnly()` loads and counts the elements in one
// native call, which shows what the walk through the bridge costs.
void RunScript(benchmark::State& state, const char16_t* call) {
    const Document& document = TheDocument();
    NUBO::Initialize(nullptr);
    {
        NUBO::XObject* constructor = nullptr;
        NUBO::CreateScriptObjectConstructor(CreateXDomDocument, &constructor);
        auto* source = new Source();
        source->AddRef();
        source->stream = platform::net::MemoryStream::Create();
        source->stream->Append(document.bytes.data(), document.bytes.size());
        NUBO::test::ScriptTestSite site;
        site.items = {{u"domDocument", constructor}, {u"source", source}};
        NUBO::test::ScriptTestEngine engine;
        if (engine.Open(&site) != S_OK || engine.Run(kScript) != S_OK) {
            state.SkipWithError("the script did not start");
        } else {
            for (auto _ : state) {
                NUBO::XVariant count = engine.Eval(call);
                if (count.ToInt32() != document.elements) {
                    state.SkipWithError("the script counted another number of elements");
                    break;
                }
            }
        }
        engine.Close();
        source->Release();
        constructor->Release();
    }
    NUBO::Shutdown();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document.bytes.size()));
}
void BM_DomDocumentFromScript(benchmark::State& state) {
    RunScript(state, u"run()");
}
BENCHMARK(BM_DomDocumentFromScript)->Unit(benchmark::kMillisecond);

void BM_DomDocumentLoadOnly(benchmark::State& state) {
    RunScript(state, u"loadOnly()");
}
BENCHMARK(BM_DomDocumentLoadOnly)->Unit(benchmark::kMillisecond);

int CountElements(xmlNodePtr node) {
    int count = 0;
    for (; node; node = node->next)
        if (node->type == XML_ELEMENT_NODE) count += 1 + CountElements(node->children);
    return count;
}

void BM_Libxml2Direct(benchmark::State& state) {
    const Document& document = TheDocument();
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(document.bytes.data(), int(document.bytes.size()), nullptr, nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        const int count = doc ? CountElements(xmlDocGetRootElement(doc)) : 0;
        xmlFreeDoc(doc);
        if (count != document.elements) {
            state.SkipWithError("libxml2 counted another number of elements");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document.bytes.size()));
}
BENCHMARK(BM_Libxml2Direct)->Unit(benchmark::kMillisecond);

// The script's walk of `run()` above, for a bare heap: walk(root) counts the elements below root.
const char kWalk[] = "function walk(root) { var count = 0, stack = [root];"
                     "  while (stack.length) { var e = stack.pop(); count++;"
                     "    for (var c = e.firstChild; c; c = c.nextSibling) if (c.nodeType == 1) stack.push(c); }"
                     "  return count; }";

// Runs the walk over the tree whose root is the global `root` in ctx, checks its count and
// destroys ctx.
void WalkFromRoot(benchmark::State& state, duk_context* ctx) {
    const Document& document = TheDocument();
    if (duk_peval_string(ctx, kWalk) != 0) {
        state.SkipWithError("the tree was not built");
    } else {
        duk_pop(ctx);
        for (auto _ : state) {
            const int count = duk_peval_string(ctx, "walk(root)") == 0 ? duk_get_int(ctx, -1) : -1;
            duk_pop(ctx);
            if (count != document.elements) {
                state.SkipWithError("the walk counted another number of elements");
                break;
            }
        }
    }
    duk_destroy_heap(ctx);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document.bytes.size()));
}

// The floor of any walk from script: the same script walking a tree of plain script objects of the
// document's shape (each message a text node and an element of three elements, two of them with a
// text child) in a bare Duktape heap, built outside the timer. Not a peer: no parse, and every
// node's members are plain properties that cross no bridge.
void BM_DuktapeWalkOfAPlainTree(benchmark::State& state) {
    const int messages = (TheDocument().elements - 1) / 4;
    duk_context* ctx = duk_create_heap_default();
    duk_push_int(ctx, messages);
    duk_put_global_string(ctx, "messages");
    if (duk_peval_string(ctx,
                         "function node(type) { return { nodeType: type, firstChild: null, nextSibling: null }; }"
                         "function link(parent, children) { parent.firstChild = children[0] || null;"
                         "  for (var i = 0; i + 1 < children.length; i++) children[i].nextSibling = children[i + 1]; }"
                         "var root = node(1), children = [];"
                         "for (var i = 0; i < messages; i++) {"
                         "  var m = node(1), from = node(1), body = node(1);"
                         "  link(from, [node(3)]); link(body, [node(3)]); link(m, [from, body, node(1)]);"
                         "  children.push(node(3), m);"
                         "}"
                         "children.push(node(3)); link(root, children);") != 0)
        state.SkipWithError("the tree was not built");
    duk_pop(ctx);
    WalkFromRoot(state, ctx);
}
BENCHMARK(BM_DuktapeWalkOfAPlainTree)->Unit(benchmark::kMillisecond);

// The floor of a walk through any bridge that gives each native node a script object of its own: the
// same walk over a native tree of the document's shape, each node a plain object made on first
// read over one prototype of C accessors (nodeType, firstChild, nextSibling), kept once per node
// while scripts hold it and let go by a finalizer. Not a peer: no parse, no COM, no VARIANTs; it
// shows what the engine's accessor calls, objects and finalizers cost before the bridge does any
// work of its own.
struct AccessorTree {
    struct Node {
        int type;
        int firstChild;
        int nextSibling;
    };
    std::vector<Node> nodes;
    std::vector<void*> objects;            // each node's live script object, or null
    std::unordered_map<void*, int> nodeOf; // script object -> node
    void* prototype = nullptr;

    int Add(int type) {
        nodes.push_back({type, -1, -1});
        return int(nodes.size()) - 1;
    }
    void Link(int parent, const std::vector<int>& children) {
        nodes[size_t(parent)].firstChild = children.empty() ? -1 : children[0];
        for (size_t i = 0; i + 1 < children.size(); i++)
            nodes[size_t(children[i])].nextSibling = children[i + 1];
    }
};

// What the heap was made with as its user data.
template <class T> T* HeapData(duk_context* ctx) {
    duk_memory_functions functions;
    duk_get_memory_functions(ctx, &functions);
    return static_cast<T*>(functions.udata);
}

AccessorTree* TreeOf(duk_context* ctx) {
    return HeapData<AccessorTree>(ctx);
}

// Leaves a bare prototype with getters nodeType, firstChild and nextSibling (`get`, told apart by
// their magic 0, 1, 2) and `finalize` as its objects' finalizer; returns it.
void* PushAccessorPrototype(duk_context* ctx, duk_c_function get, duk_c_function finalize) {
    duk_push_bare_object(ctx);
    const char* names[] = {"nodeType", "firstChild", "nextSibling"};
    for (int i = 0; i < 3; i++) {
        duk_push_string(ctx, names[i]);
        duk_push_c_function(ctx, get, 0);
        duk_set_magic(ctx, -1, i);
        duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_GETTER);
    }
    duk_push_c_function(ctx, finalize, 1);
    duk_set_finalizer(ctx, -2);
    return duk_get_heapptr(ctx, -1);
}

void PushAccessorNode(duk_context* ctx, AccessorTree* tree, int node) {
    if (node < 0) {
        duk_push_null(ctx);
        return;
    }
    if (void* object = tree->objects[size_t(node)]) {
        duk_push_heapptr(ctx, object);
        return;
    }
    duk_push_bare_object(ctx);
    duk_push_heapptr(ctx, tree->prototype);
    duk_set_prototype(ctx, -2);
    void* object = duk_get_heapptr(ctx, -1);
    tree->objects[size_t(node)] = object;
    tree->nodeOf[object] = node;
}

duk_ret_t AccessorGet(duk_context* ctx) {
    AccessorTree* tree = TreeOf(ctx);
    duk_push_this(ctx);
    auto found = tree->nodeOf.find(duk_get_heapptr(ctx, -1));
    duk_pop(ctx);
    if (found == tree->nodeOf.end()) return DUK_RET_TYPE_ERROR;
    const AccessorTree::Node& node = tree->nodes[size_t(found->second)];
    switch (duk_get_current_magic(ctx)) {
    case 0:
        duk_push_int(ctx, node.type);
        return 1;
    case 1:
        PushAccessorNode(ctx, tree, node.firstChild);
        return 1;
    default:
        PushAccessorNode(ctx, tree, node.nextSibling);
        return 1;
    }
}

duk_ret_t AccessorFinalize(duk_context* ctx) {
    AccessorTree* tree = TreeOf(ctx);
    auto found = tree->nodeOf.find(duk_get_heapptr(ctx, 0));
    if (found == tree->nodeOf.end()) return 0;
    tree->objects[size_t(found->second)] = nullptr;
    tree->nodeOf.erase(found);
    return 0;
}

void BM_DuktapeWalkThroughAccessors(benchmark::State& state) {
    const int messages = (TheDocument().elements - 1) / 4;
    AccessorTree tree;
    const int root = tree.Add(1);
    std::vector<int> children;
    for (int i = 0; i < messages; i++) {
        const int m = tree.Add(1), from = tree.Add(1), body = tree.Add(1);
        tree.Link(from, {tree.Add(3)});
        tree.Link(body, {tree.Add(3)});
        tree.Link(m, {from, body, tree.Add(1)});
        children.push_back(tree.Add(3));
        children.push_back(m);
    }
    children.push_back(tree.Add(3));
    tree.Link(root, children);
    tree.objects.assign(tree.nodes.size(), nullptr);
    tree.nodeOf.reserve(tree.nodes.size());

    duk_context* ctx = duk_create_heap(nullptr, nullptr, nullptr, &tree, nullptr);
    tree.prototype = PushAccessorPrototype(ctx, AccessorGet, AccessorFinalize);
    duk_put_global_string(ctx, "prototype");
    PushAccessorNode(ctx, &tree, root);
    duk_put_global_string(ctx, "root");
    WalkFromRoot(state, ctx);
}
BENCHMARK(BM_DuktapeWalkThroughAccessors)->Unit(benchmark::kMillisecond);


// The floor of a bridge over libxml2's own tree: libxml2 parses the same bytes with the same
// options inside the timer, and the same walk reads its nodes through one prototype of C accessors,
// each node a plain object made on first read (kept in the node's `_private`) and let go by a
// finalizer. Not a peer: no COM, no VARIANTs; beside the compact tree above it shows what reading
// libxml2's nodes (and their cache misses) adds to any bridge over them.
struct Libxml2AccessorWalk {
    std::unordered_map<void*, xmlNodePtr> nodeOf; // script object -> node
    void* prototype = nullptr;
};


void PushLibxml2Node(duk_context* ctx, Libxml2AccessorWalk* walk, xmlNodePtr node) {
    if (!node) {
        duk_push_null(ctx);
        return;
    }
    if (node->_private) {
        duk_push_heapptr(ctx, node->_private);
        return;
    }
    duk_push_bare_object(ctx);
    duk_push_heapptr(ctx, walk->prototype);
    duk_set_prototype(ctx, -2);
    node->_private = duk_get_heapptr(ctx, -1);
    walk->nodeOf[node->_private] = node;
}

duk_ret_t Libxml2AccessorGet(duk_context* ctx) {
    Libxml2AccessorWalk* walk = HeapData<Libxml2AccessorWalk>(ctx);
    duk_push_this(ctx);
    auto found = walk->nodeOf.find(duk_get_heapptr(ctx, -1));
    duk_pop(ctx);
    if (found == walk->nodeOf.end()) return DUK_RET_TYPE_ERROR;
    const xmlNodePtr node = found->second;
    switch (duk_get_current_magic(ctx)) {
    case 0:
        duk_push_int(ctx, node->type);
        return 1;
    case 1:
        PushLibxml2Node(ctx, walk, node->children);
        return 1;
    default:
        PushLibxml2Node(ctx, walk, node->next);
        return 1;
    }
}

duk_ret_t Libxml2AccessorFinalize(duk_context* ctx) {
    Libxml2AccessorWalk* walk = HeapData<Libxml2AccessorWalk>(ctx);
    auto found = walk->nodeOf.find(duk_get_heapptr(ctx, 0));
    if (found == walk->nodeOf.end()) return 0;
    found->second->_private = nullptr;
    walk->nodeOf.erase(found);
    return 0;
}

void BM_Libxml2WalkThroughAccessors(benchmark::State& state) {
    const Document& document = TheDocument();
    Libxml2AccessorWalk walk;
    duk_context* ctx = duk_create_heap(nullptr, nullptr, nullptr, &walk, nullptr);
    walk.prototype = PushAccessorPrototype(ctx, Libxml2AccessorGet, Libxml2AccessorFinalize);
    duk_put_global_string(ctx, "prototype");
    if (duk_peval_string(ctx, kWalk) != 0)
        state.SkipWithError("the walk did not compile");
    duk_pop(ctx);
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(document.bytes.data(), int(document.bytes.size()), nullptr, nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        duk_get_global_string(ctx, "walk");
        PushLibxml2Node(ctx, &walk, doc ? xmlDocGetRootElement(doc) : nullptr);
        const int count = duk_pcall(ctx, 1) == 0 ? duk_get_int(ctx, -1) : -1;
        duk_pop(ctx);
        if (!walk.nodeOf.empty()) duk_gc(ctx, 0); // no object may outlive its node
        xmlFreeDoc(doc);
        if (count != document.elements) {
            state.SkipWithError("the walk counted another number of elements");
            break;
        }
    }
    duk_destroy_heap(ctx);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(document.bytes.size()));
}
BENCHMARK(BM_Libxml2WalkThroughAccessors)->Unit(benchmark::kMillisecond);

} // namespace
