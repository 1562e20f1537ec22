// serve: the board in the browser. A small HTTP server on 127.0.0.1 serves
// the page (compiled in) and a JSON API; each open game gets its own engine
// process, and the engine's thinking reaches the page as Server-Sent Events.
#include <httplib.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "command_line.h"
#include "interface/about.h"
#include "commands.h"
#include "os.h"
#include "page_files.h"
#include "paths.h"
#include "web_games.h"

namespace host::web {
namespace {

constexpr int DEFAULT_PORT = 8080;
constexpr size_t MAX_BODY = 256 * 1024;  // a long PDN game is a few kB
constexpr size_t MAX_MOVES = 2000;
constexpr double MIN_MOVE_TIME = 0.05, MAX_MOVE_TIME = 600;
constexpr int DEFAULT_MARGIN = 10;
constexpr auto STREAM_WAIT = std::chrono::seconds(5);  // then a keep-alive comment
constexpr const char* GAME_PATH = "/api/games/([0-9a-f]{16})";

void send_json(httplib::Response& res, int status, const Json& body) {
  res.status = status;
  res.set_content(body.dump(), "application/json");
}

void send_error(httplib::Response& res, int status, const std::string& message) {
  send_json(res, status, {{"error", message}});
}

// The request body as a JSON object; answers 400 itself when it is not one.
std::optional<Json> body_of(const httplib::Request& req, httplib::Response& res) {
  Json body = req.body.empty() ? Json::object() : Json::parse(req.body, nullptr, false);
  if (body.is_discarded() || !body.is_object()) {
    send_error(res, 400, "the request body is not a JSON object");
    return std::nullopt;
  }
  return body;
}

std::string string_field(const Json& body, const char* name) {
  auto it = body.find(name);
  return it != body.end() && it->is_string() ? it->get<std::string>() : "";
}

// The game a request names by its start FEN and moves, replayed; answers
// 400 itself when it does not replay.
std::optional<GameRecord> game_of(const Json& body, httplib::Response& res) {
  std::vector<std::string> moves;
  auto it = body.find("moves");
  if (it != body.end()) {
    if (!it->is_array() || it->size() > MAX_MOVES) {
      send_error(res, 400, "'moves' must be a list of at most " + std::to_string(MAX_MOVES) + " moves");
      return std::nullopt;
    }
    for (const Json& m : *it) {
      if (!m.is_string()) {
        send_error(res, 400, "every move must be a text such as \"11-15\"");
        return std::nullopt;
      }
      moves.push_back(m.get<std::string>());
    }
  }
  GameRecord game;
  std::string error;
  if (!replay_game(string_field(body, "fen"), moves, game, error)) {
    send_error(res, 400, error);
    return std::nullopt;
  }
  return game;
}

std::optional<double> seconds_of(const Json& body, httplib::Response& res) {
  auto it = body.find("time");
  if (it == body.end()) return 1.0;
  if (!it->is_number() || *it < MIN_MOVE_TIME || *it > MAX_MOVE_TIME) {
    send_error(res, 400, "'time' must be seconds from 0.05 to 600");
    return std::nullopt;
  }
  return it->get<double>();
}

struct Server {
  ServeSettings settings;
  GameTable games{settings};
  httplib::Server http;
  int port = 0;
  double first_move_time = 1.0;

  explicit Server(const ServeSettings& s) : settings(s), games(s) {}

  // Only pages this server served may use it: another site's page in the
  // same browser could otherwise drive it (or, through a name that resolves
  // to 127.0.0.1, read from it).
  bool local_request(const httplib::Request& req) const {
    std::string p = std::to_string(port);
    std::string host = req.get_header_value("Host");
    if (host != "127.0.0.1:" + p && host != "localhost:" + p) return false;
    if (!req.has_header("Origin")) return true;
    std::string origin = req.get_header_value("Origin");
    return origin == "http://127.0.0.1:" + p || origin == "http://localhost:" + p;
  }

  std::shared_ptr<GameSlot> slot_of(const httplib::Request& req, httplib::Response& res) {
    auto slot = games.find(req.matches[1]);
    if (!slot) send_error(res, 404, "no such game: it has ended (reload the page)");
    return slot;
  }

  // A request for a game's engine: which game, the position by its start
  // and moves, and the seconds to spend. Answers the error itself when any
  // part is missing or wrong.
  struct EngineRequest {
    std::shared_ptr<GameSlot> slot;
    Json body;
    GameRecord game;
    double seconds;
  };
  std::optional<EngineRequest> engine_request_of(const httplib::Request& req, httplib::Response& res) {
    auto slot = slot_of(req, res);
    auto body = slot ? body_of(req, res) : std::nullopt;
    auto game = body ? game_of(*body, res) : std::nullopt;
    auto seconds = game ? seconds_of(*body, res) : std::nullopt;
    if (!seconds) return std::nullopt;
    return EngineRequest{slot, std::move(*body), std::move(*game), *seconds};
  }

  void routes();
  void event_stream(const httplib::Request& req, httplib::Response& res);
};

void Server::event_stream(const httplib::Request& req, httplib::Response& res) {
  auto slot = slot_of(req, res);
  if (!slot) return;
  long after = 0;
  if (req.has_header("Last-Event-ID")) after = std::atol(req.get_header_value("Last-Event-ID").c_str());
  {
    std::lock_guard<std::mutex> lock(slot->mutex);
    ++slot->listeners;
    if (after == 0) after = slot->next_event - 1;  // a new page wants only what comes next
  }
  res.set_header("Cache-Control", "no-store");
  res.set_chunked_content_provider(
      "text/event-stream",
      [slot, after](size_t, httplib::DataSink& sink) mutable {
        std::unique_lock<std::mutex> lock(slot->mutex);
        slot->changed.wait_for(lock, STREAM_WAIT, [&] {
          return slot->closed || (!slot->events.empty() && slot->events.back().id > after);
        });
        if (slot->closed) return false;
        std::string out;
        for (const Event& e : slot->events) {
          if (e.id <= after) continue;
          out += "id: " + std::to_string(e.id) + "\nevent: " + e.type + "\ndata: " + e.data.dump() + "\n\n";
          after = e.id;
        }
        if (out.empty()) out = ": still here\n\n";
        slot->last_used = Clock::now();
        lock.unlock();
        return sink.write(out.data(), out.size());
      },
      [slot](bool) {
        std::lock_guard<std::mutex> lock(slot->mutex);
        --slot->listeners;
        slot->last_used = Clock::now();
      });
}

void Server::routes() {
  http.set_payload_max_length(MAX_BODY);
  http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (local_request(req)) return httplib::Server::HandlerResponse::Unhandled;
    send_error(
        res, 403,
        "refused: only pages served by this quillbar on 127.0.0.1:" + std::to_string(port) + " may use it");
    return httplib::Server::HandlerResponse::Handled;
  });
  http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    send_error(res, 500, "internal error");
  });
  http.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
    if (!res.body.empty()) return;
    if (res.status == 413) return send_error(res, 413, "the request is too large");
    if (res.status != 404) return send_error(res, res.status, "malformed request");
    if (req.path.rfind("/api/", 0) == 0)
      return send_error(res, 404, "unknown request " + req.method + " " + req.path);
    res.set_content("Not found\n", "text/plain");
  });

  http.Post("/api/state", [](const httplib::Request& req, httplib::Response& res) {
    auto body = body_of(req, res);
    if (!body) return;
    if (auto game = game_of(*body, res)) send_json(res, 200, game_state(*game));
  });
  http.Get("/api/settings", [this](const httplib::Request&, httplib::Response& res) {
    send_json(res, 200, {{"time", first_move_time}, {"max_games", settings.max_games}});
  });
  http.Post("/api/games", [this](const httplib::Request&, httplib::Response& res) {
    std::string id = games.open();
    if (id.empty())
      return send_error(res, 503,
                        "busy: " + std::to_string(settings.max_games) +
                            " games already have an engine; close one or try later");
    send_json(res, 201, {{"id", id}});
  });
  http.Get(std::string(GAME_PATH) + "/events",
           [this](const httplib::Request& req, httplib::Response& res) { event_stream(req, res); });
  http.Post(std::string(GAME_PATH) + "/think", [this](const httplib::Request& req, httplib::Response& res) {
    auto r = engine_request_of(req, res);
    if (!r) return;
    if (rules_outcome(r->game, 0).over()) return send_error(res, 400, "the game is over");
    bool new_game = r->body.value("new_game", false);
    std::string error;
    if (!games.think(*r->slot, r->game, r->seconds, new_game, error)) return send_error(res, 409, error);
    send_json(res, 202, {{"thinking", true}});
  });
  http.Post(std::string(GAME_PATH) + "/stop", [this](const httplib::Request& req, httplib::Response& res) {
    if (auto slot = slot_of(req, res)) {
      games.move_now(*slot);
      send_json(res, 200, {{"stopped", true}});
    }
  });
  http.Post(std::string(GAME_PATH) + "/analyse", [this](const httplib::Request& req, httplib::Response& res) {
    auto r = engine_request_of(req, res);
    if (!r) return;
    int status = 200;
    Json answer = games.analyse(*r->slot, r->game, r->seconds, DEFAULT_MARGIN, status);
    send_json(res, status, answer);
  });
  http.Post(std::string(GAME_PATH) + "/close", [this](const httplib::Request& req, httplib::Response& res) {
    games.close(req.matches[1]);
    send_json(res, 200, {{"closed", true}});
  });
  http.Post("/api/pdn/read", [](const httplib::Request& req, httplib::Response& res) {
    auto body = body_of(req, res);
    if (!body) return;
    Json game;
    std::string error;
    if (!read_one_pdn(string_field(*body, "pdn"), game, error)) return send_error(res, 400, error);
    send_json(res, 200, game);
  });
  http.Post("/api/pdn/write", [](const httplib::Request& req, httplib::Response& res) {
    auto body = body_of(req, res);
    if (!body) return;
    auto game = game_of(*body, res);
    if (!game) return;
    Json tags = body->value("tags", Json::array());
    send_json(res, 200, {{"pdn", game_pdn(*game, tags, string_field(*body, "result"))}});
  });
  http.Get("/help", [](const httplib::Request&, httplib::Response& res) {
    std::ifstream in(find_data_file(std::string("engines/") + qb::HELP_FILE), std::ios::binary);
    if (!in) {
      res.status = 404;
      return res.set_content(
          "The help file engines/" + std::string(qb::HELP_FILE) + " is not installed beside this quillbar.\n",
          "text/plain");
    }
    std::ostringstream text;
    text << in.rdbuf();
    res.set_content(text.str(), "text/html");
  });
  http.Get("/.*", [](const httplib::Request& req, httplib::Response& res) {
    const PageFile* f = find_page_file(req.path);
    if (!f) {
      res.status = 404;  // the error handler words it
      return;
    }
    res.set_header("Cache-Control", "no-cache");
    res.set_content(reinterpret_cast<const char*>(f->data), f->size, f->content_type);
  });
}

}  // namespace
}  // namespace host::web

int run_serve(const Args& args) {
  using namespace host;
  using namespace host::web;
  std::string library;
  int port = DEFAULT_PORT;
  bool open = false;
  ServeSettings settings;
  double first_time = 1.0;
  CLI::App app{"The board in the browser, served on 127.0.0.1.", "quillbar serve"};
  cli::describe(app, "usage: quillbar serve [options]");
  cli::add_int(app, "--port", port, 0, 65535, "--port wants 0 to 65535",
               "port on 127.0.0.1 (default 8080; 0 picks a free one)");
  app.add_flag("--open", open, "open the page in the web browser");
  cli::add_double(app, "--time", first_time, MIN_MOVE_TIME, MAX_MOVE_TIME,
                  "--time wants seconds from 0.05 to 600", "the page's first seconds per move (default 1)")
      ->type_name("S");
  app.add_option("--engine", library, "engine library (default engines/libquillbar.so)")
      ->type_name("LIBRARY");
  cli::add_int(app, "--max-games", settings.max_games, 1, 64, "--max-games wants 1 to 64",
               "engines running at once (default 4)");
  cli::add_double(app, "--idle", settings.idle_seconds, 1, 86400, "--idle wants seconds",
                  "end a game's engine S seconds after its page went away (default 300)")
      ->type_name("S");
  if (std::optional<int> status = cli::parse(app, args)) return *status;
  EngineLocation where = locate_engine(library);
  settings.engine = EngineConfig{where.library, "", where.workdir, "", {}};

  Server server(settings);
  server.first_move_time = first_time;
  server.routes();
  server.port = port == 0 ? server.http.bind_to_any_port("127.0.0.1") : port;
  if (server.port <= 0 || (port != 0 && !server.http.bind_to_port("127.0.0.1", port)))
    return cli::refuse("serve", "cannot listen on 127.0.0.1:" + std::to_string(port) + " (is it in use?)");
  std::string url = "http://127.0.0.1:" + std::to_string(server.port) + "/";
  std::printf("Quillbar serves the board at %s (Ctrl+C ends it)\n", url.c_str());
  std::fflush(stdout);
  if (open && !os::open_in_browser(url))
    std::fprintf(stderr, "serve: cannot start a browser; open %s\n", url.c_str());

  std::atomic<bool> running{true};
  std::thread reaper([&] {
    while (running) {
      std::this_thread::sleep_for(std::chrono::seconds(1));
      server.games.close_idle();
    }
  });
  bool ok = server.http.listen_after_bind();
  running = false;
  reaper.join();
  return ok ? 0 : 1;
}
